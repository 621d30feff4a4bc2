#include "xml/xml_document.h"

#include <gtest/gtest.h>

#include <string>

namespace tavex {
namespace {

// The content of element `child` inside the document element `root`.
std::string contentOf(const std::string& xml, const char* root, const char* child) {
  XmlDocument doc;
  EXPECT_TRUE(doc.setDoc(xml)) << doc.getError();
  EXPECT_TRUE(doc.findElem(root));
  EXPECT_TRUE(doc.intoElem());
  EXPECT_TRUE(doc.findElem(child));
  return doc.getData();
}

std::string errorOf(const std::string& xml) {
  XmlDocument doc;
  EXPECT_FALSE(doc.setDoc(xml)) << xml;
  EXPECT_FALSE(doc.findElem()) << "a failed parse leaves no elements";
  return doc.getError();
}

TEST(XmlContent, DecodesTheFiveNamedEntitiesOnly) {
  EXPECT_EQ(contentOf("<a><b>x &amp; y</b></a>", "a", "b"), "x & y");
  EXPECT_EQ(contentOf("<a><b>&lt;&gt;&apos;&quot;&amp;amp;</b></a>", "a", "b"), "<>'\"&amp;");
  // An ampersand that begins no known entity stays, with what follows it.
  EXPECT_EQ(contentOf("<a><b>&lt;&nbsp; &#65; &</b></a>", "a", "b"), "<&nbsp; &#65; &");
  // An entity cut by the end of the content is not decoded.
  EXPECT_EQ(contentOf("<a><b>x&lt</b></a>", "a", "b"), "x&lt");
}

TEST(XmlContent, CdataIsRawAndBlanksAroundItAreDropped) {
  EXPECT_EQ(contentOf("<a><b>  <![CDATA[1<2 &amp;]]>  </b></a>", "a", "b"), "1<2 &amp;");
  EXPECT_EQ(contentOf("<a><b><![CDATA[]]></b></a>", "a", "b"), "");
  // A CDATA opening that does not start the content is ordinary text.
  EXPECT_EQ(contentOf("<a><b>x<![CDATA[y]]></b></a>", "a", "b"), "x<![CDATA[y]]>");
}

TEST(XmlContent, IsNotTrimmed) {
  EXPECT_EQ(contentOf("<a><b> \n </b></a>", "a", "b"), " \n ");
  EXPECT_EQ(contentOf("<a><b>\tx y\r\n</b></a>", "a", "b"), "\tx y\r\n");
}

TEST(XmlContent, IsEmptyForEmptyElementsAndElementsWithChildren) {
  EXPECT_EQ(contentOf("<a><b/></a>", "a", "b"), "");
  EXPECT_EQ(contentOf("<a><b></b></a>", "a", "b"), "");
  EXPECT_EQ(contentOf("<a><b>text<c>x</c>more</b></a>", "a", "b"), "");

  XmlDocument doc;
  const std::string xml = "<a><b /></a>";
  ASSERT_TRUE(doc.setDoc(xml));
  ASSERT_TRUE(doc.findChildElem("b"));
  const XmlNode& b = doc.nodes()[doc.childPos()];
  EXPECT_EQ(b.endTagStart, xml.find('/'));
  EXPECT_EQ(b.endTagEnd, b.tagEnd);
  EXPECT_EQ(b.tagStart, 3u);
}

TEST(XmlStructure, SkipsDeclarationsCommentsAndDoctype) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<!-- a <comment> -->\n"
      "<!DOCTYPE a [ <!ELEMENT a ANY> <!ENTITY e \"x>y\"> ]>\n"
      "<a><?pi stuff?><!-- inside --><b>1</b><![CDATA[<c>]]><!-- c --><c>2</c><!-- end --></a>"
      "<z>after the document element: ignored</z>";
  XmlDocument doc;
  ASSERT_TRUE(doc.setDoc(xml)) << doc.getError();
  ASSERT_TRUE(doc.findElem());
  EXPECT_EQ(doc.nameOf(doc.currentPos()), "a");
  EXPECT_FALSE(doc.findElem()) << "only the first document element is read";
  EXPECT_TRUE(doc.findChildElem("b"));
  EXPECT_EQ(doc.getChildData(), "1");
  EXPECT_TRUE(doc.findChildElem("c"));
  EXPECT_EQ(doc.getChildData(), "2");
  EXPECT_EQ(doc.nextFreeNode(), 4);
}

TEST(XmlStructure, NamesEndAtDelimitersAndIgnoreAttributes) {
  XmlDocument doc;
  ASSERT_TRUE(doc.setDoc("<fabricante versao=\"1\"><dll\ttipo='x'><nome>lib.so</nome></dll></fabricante>"));
  ASSERT_TRUE(doc.findElem("fabricante"));
  ASSERT_TRUE(doc.intoElem());
  ASSERT_TRUE(doc.findElem("dll"));
  ASSERT_TRUE(doc.findChildElem("nome"));
  EXPECT_EQ(doc.getChildData(), "lib.so");
  // A caller's name may carry a tail after a blank, "=", "/" or "[".
  XmlDocument doc2;
  ASSERT_TRUE(doc2.setDoc("<a><b>1</b></a>"));
  EXPECT_FALSE(doc2.findElem("ab"));
  EXPECT_FALSE(doc2.findElem("aa"));
  EXPECT_TRUE(doc2.findElem("a[1]"));
}

struct ErrorCase {
  const char* xml;
  const char* message;
};

TEST(XmlErrors, EachFailureHasItsMessage) {
  const ErrorCase cases[] = {
      {"no element here", "Element tag not found"},
      {"</a>", "Element tag not found"},
      {"<", "Abrupt end within tag"},
      {"<a><   ", "Abrupt end within tag"},
      {"<\"a\">x</a>", "Tag starts with quote"},
      {"<a><!-- never closed </a>", "Invalid node"},
      {"<?xml version='1.0'", "Invalid node"},
      {"<a><![CDATA[x</a>", "Invalid node"},
      {"<!DOCTYPE a [ <!ELEMENT a ANY> <a/>", "Invalid node"},
      {"<a", "End of tag not found"},
      {"<a><b x='1'", "End of tag not found"},
      {"<a>text and no end tag", "End tag of a element not found"},
      {"<a><b>1</b>", "End tag of a element not found"},
      {"<a><b>x</c></a>", "End tag does not correspond to b"},
      {"<a></ab>", "End tag does not correspond to a"},
      {"<a>x</", "End tag not completed for element a"},
      {"<a>x</a", "End tag not completed for element a"},
      {"<a>x</a junk", "End tag not completed for element a"},
  };
  for (const ErrorCase& c : cases) EXPECT_EQ(errorOf(c.xml), c.message) << c.xml;

  XmlDocument doc;
  EXPECT_FALSE(doc.setDoc(""));
  EXPECT_EQ(doc.getError(), "");
}

TEST(XmlErrors, ASuccessfulParseForgetsThePreviousError) {
  XmlDocument doc;
  EXPECT_FALSE(doc.setDoc("<a>"));
  EXPECT_TRUE(doc.setDoc("<a/>"));
  EXPECT_EQ(doc.getError(), "");
  EXPECT_TRUE(doc.findElem("a"));
}

TEST(XmlCursor, FindsOnlyForwardAmongSiblings) {
  XmlDocument doc;
  ASSERT_TRUE(doc.setDoc("<r><x>1</x><y>2</y><x>3</x><z/></r>"));
  ASSERT_TRUE(doc.findElem("r"));
  ASSERT_TRUE(doc.intoElem());
  ASSERT_TRUE(doc.findElem("y"));
  ASSERT_TRUE(doc.findElem("x"));
  EXPECT_EQ(doc.getData(), "3") << "an x before y is not found again";
  EXPECT_FALSE(doc.findElem("y"));
  EXPECT_EQ(doc.getData(), "3") << "a failed search changes nothing";
  EXPECT_TRUE(doc.findElem());
  EXPECT_EQ(doc.nameOf(doc.currentPos()), "z");
}

TEST(XmlCursor, ChildSearchIntoAndOutOf) {
  XmlDocument doc;
  ASSERT_TRUE(doc.setDoc("<f><d><n>a</n><m>1</m><m>2</m></d><d><m>3</m></d></f>"));
  EXPECT_FALSE(doc.intoElem()) << "nothing current yet";
  EXPECT_FALSE(doc.outOfElem());
  // With nothing current, the child search first takes the document element.
  ASSERT_TRUE(doc.findChildElem("d"));
  EXPECT_EQ(doc.nameOf(doc.currentPos()), "f");
  ASSERT_TRUE(doc.intoElem());  // into f: d is current
  EXPECT_EQ(doc.nameOf(doc.currentPos()), "d");
  ASSERT_TRUE(doc.findChildElem("m"));
  EXPECT_EQ(doc.getChildData(), "1");
  ASSERT_TRUE(doc.findChildElem("m"));
  EXPECT_EQ(doc.getChildData(), "2");
  EXPECT_FALSE(doc.findChildElem("n")) << "n precedes the current child";
  ASSERT_TRUE(doc.findElem("d"));
  ASSERT_TRUE(doc.intoElem());
  EXPECT_EQ(doc.currentPos(), 0);
  ASSERT_TRUE(doc.findElem("m"));
  EXPECT_EQ(doc.getData(), "3");
  ASSERT_TRUE(doc.outOfElem());
  EXPECT_EQ(doc.nameOf(doc.currentPos()), "d");
  EXPECT_EQ(doc.nameOf(doc.childPos()), "m");
  ASSERT_TRUE(doc.outOfElem());
  EXPECT_EQ(doc.nameOf(doc.currentPos()), "f");
  EXPECT_EQ(doc.parentPos(), 0);
  EXPECT_FALSE(doc.outOfElem());
}

TEST(XmlRobustness, DeepNestingUsesNoStack) {
  constexpr int kDepth = 100000;
  std::string xml;
  for (int i = 0; i < kDepth; ++i) xml += "<e>";
  xml += "x";
  for (int i = 0; i < kDepth; ++i) xml += "</e>";
  XmlDocument doc;
  ASSERT_TRUE(doc.setDoc(xml)) << doc.getError();
  EXPECT_EQ(doc.nextFreeNode(), kDepth + 1);
  EXPECT_EQ(doc.nodes()[kDepth].parent, kDepth - 1);
  ASSERT_TRUE(doc.findElem("e"));
  for (int i = 1; i < kDepth; ++i) ASSERT_TRUE(doc.findChildElem("e") && doc.intoElem());
  EXPECT_EQ(doc.getData(), "x");

  // The same nesting left open, and opened without ever closing a tag.
  EXPECT_FALSE(doc.setDoc(xml.substr(0, xml.size() - 4)));
  EXPECT_EQ(doc.getError(), "End tag of e element not found");
  EXPECT_FALSE(doc.setDoc(std::string(300000, '<')));
}

TEST(XmlRobustness, LargeDocumentsAndNulBytes) {
  std::string xml = "<r>";
  while (xml.size() < 10'000'000) xml += "<i>valor &amp; mais</i>\n";
  xml += "</r>";
  XmlDocument doc;
  ASSERT_TRUE(doc.setDoc(xml));
  ASSERT_TRUE(doc.findChildElem("i"));
  EXPECT_EQ(doc.getChildData(), "valor & mais");

  const std::string withNul("<a>\0<b>x\0y</b>\0</a>", 19);
  ASSERT_TRUE(doc.setDoc(withNul)) << doc.getError();
  ASSERT_TRUE(doc.findChildElem("b"));
  EXPECT_EQ(doc.getChildData(), std::string("x\0y", 3));
  EXPECT_FALSE(doc.setDoc(std::string("<a\0", 3)));
}

TEST(XmlRobustness, EveryTruncationFailsCleanly) {
  const std::string xml =
      "<?xml version=\"1.0\"?><!-- c --><!DOCTYPE f [<!ELEMENT f ANY>]>"
      "<fabricante a=\"1\"><dll><nome>x.so</nome><chave><modulo>AB</modulo></chave>"
      "<modelo><![CDATA[M<1>]]></modelo><vazio/></dll></fabricante>";
  for (std::size_t n = 0; n < xml.size(); ++n) {
    XmlDocument doc;
    EXPECT_FALSE(doc.setDoc(xml.substr(0, n))) << n;
    EXPECT_EQ(doc.getError().empty(), n == 0) << n;
    EXPECT_FALSE(doc.findChildElem());
    EXPECT_EQ(doc.getData(), "");
  }
  XmlDocument doc;
  EXPECT_TRUE(doc.setDoc(xml));
}

}  // namespace
}  // namespace tavex
