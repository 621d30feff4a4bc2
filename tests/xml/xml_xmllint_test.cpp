// Differential test: the reader and libxml2's xmllint must agree on the element
// names and contents of well-formed documents. Skipped when xmllint is missing.
//
// The documents stay within what both readers treat alike: no character
// references, no CR in contents, no comments inside leaf contents, CDATA only as a
// whole leaf content.
#include "xml/xml_document.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "support/files.h"

extern char** environ;

namespace tavex {
namespace {

using testing::TempDir;
using testing::writeFile;

bool xmllintAvailable() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

// Runs xmllint --xpath EXPR FILE and returns its standard output.
std::string runXpath(const std::string& expression, const std::string& file) {
  int fds[2];
  if (pipe(fds) != 0) return "<pipe failed>";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<std::string> args = {"xmllint", "--xpath", expression, file};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "xmllint", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  if (rc == 0) waitpid(pid, nullptr, 0);
  return out;
}

constexpr const char* kSep = "~|~";

// Walks the reader's tree with its cursor, in document order, producing for every
// element its positional XPath, and the same "name SEP content SEP" listing our
// reader sees; returns the XPath that makes xmllint produce the same listing.
struct Listing {
  std::string ours;
  std::string xpath;
};

void walk(XmlDocument& doc, const std::string& path, Listing& out) {
  int position = 0;
  while (doc.findElem()) {
    ++position;
    const std::string here = path + "/*[" + std::to_string(position) + "]";
    const int node = doc.currentPos();
    const bool leaf = doc.nodes()[node].firstChild == 0;
    out.ours += std::string(doc.nameOf(node)) + kSep + (leaf ? doc.getData() : "") + kSep;
    out.xpath += ",name(" + here + "),'" + kSep + "'," + (leaf ? "string(" + here + ")" : "''") + ",'" + kSep + "'";
    if (!leaf) {
      doc.intoElem();
      walk(doc, here, out);
      doc.outOfElem();
    }
  }
}

const char* const kDocuments[] = {
    "<a/>",
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<fabricante>\n  <dll>\n    <nome>libecf.so</nome>\n"
    "    <chave>\n      <modulo>\n        C0FFEE12\n      </modulo>\n      <expoente_publico>010001</expoente_publico>\n"
    "    </chave>\n    <modelo>ECF-1 FIT</modelo>\n    <modelo>ECF 2  MFD</modelo>\n  </dll>\n</fabricante>\n",
    "<!-- chaves --><r a=\"1\" b='2'><x>a &amp; b &lt;c&gt; &apos;d&apos; &quot;e&quot;</x><y></y><z/></r>",
    "<!DOCTYPE r [ <!ELEMENT r ANY> <!ATTLIST r v CDATA #IMPLIED> ]>\n<r v=\"x\"><a><b><c>deep</c></b></a><d><![CDATA[1<2 & 3>2]]></d></r>",
    "<r>\n<?pi data?>\n<s>1</s><!-- between -->\n<s>2</s>\n<t>  blanks around  </t>\n<u>\tab</u></r>",
    "<raiz xmlns:ns=\"urn:tavex\"><item_1>a</item_1><item-2>b</item-2><ns:item>c</ns:item><ITEM>D</ITEM><item>e</item></raiz>",
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><m><n>Módulo ç ã é</n><o>R$ 1,00 &amp; 50%</o></m>",
    "<a><b><c/><c></c><c>1</c></b><b><c>2</c><d><e><f>3</f></e></d></b>text after<g>4</g></a>",
};

// Compares the reader's listing of `xml` with xmllint's, through a file in `dir`.
void expectSameAsXmllint(const TempDir& dir, const std::string& name, const std::string& xml) {
  const std::string file = dir.file(name);
  writeFile(file, xml);
  XmlDocument doc;
  ASSERT_TRUE(doc.setDoc(xml)) << doc.getError() << "\n" << xml;
  Listing listing;
  walk(doc, "", listing);
  const std::string expression = "concat(count(//*),'" + std::string(kSep) + "'" + listing.xpath + ")";
  const std::string expected = std::to_string(doc.nextFreeNode() - 1) + kSep + listing.ours + "\n";
  EXPECT_EQ(runXpath(expression, file), expected) << xml;
}

// Random well-formed documents within the common ground of both readers.
class DocumentMaker {
 public:
  explicit DocumentMaker(unsigned seed) : random_(seed) {}

  std::string document() {
    std::string xml;
    if (coin()) xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (coin()) xml += "<!-- " + words() + " -->\n";
    const std::string root = name();
    if (coin()) xml += "<!DOCTYPE " + root + " [ <!ELEMENT " + root + " ANY> ]>\n";
    xml += element(root, 0);
    if (coin()) xml += "\n<!-- fim -->\n";
    return xml;
  }

 private:
  bool coin() { return random_() % 2 == 0; }
  int below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

  std::string name() {
    static const std::string first = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    static const std::string rest = first + "0123456789.-";
    std::string n(1, first[static_cast<std::size_t>(below(static_cast<int>(first.size())))]);
    for (int i = below(8); i > 0; --i) n += rest[static_cast<std::size_t>(below(static_cast<int>(rest.size())))];
    return n;
  }
  std::string words() {
    static const char* const pieces[] = {"chave", "modelo", "x", "1,00", "R$", "a-b", "Módulo"};
    std::string w = pieces[below(7)];
    for (int i = below(3); i > 0; --i) w += std::string(" ") + pieces[below(7)];
    return w;
  }
  std::string blanks() {
    static const char* const options[] = {"", " ", "\n", "\t", "\n  ", "  "};
    return options[below(6)];
  }
  std::string text() {
    static const char* const pieces[] = {"a", "Z", "9", " ", "\t", "\n", "&amp;", "&lt;", "&gt;", "&apos;", "&quot;",
                                         ">", "'", "\"", "ç", "x y", "0A"};
    std::string t;
    for (int i = below(8); i > 0; --i) t += pieces[below(17)];
    return t;
  }
  std::string attributes() {
    std::string a;
    for (int i = below(3); i > 0; --i)
      a += " " + name() + "=" + (coin() ? "\"v" + std::to_string(i) + " '\"" : "'w" + std::to_string(i) + " \"'");
    return a;
  }
  std::string element(const std::string& tag, int depth) {
    const int shape = depth >= 5 ? below(3) : below(5);
    const std::string open = "<" + tag + attributes();
    switch (shape) {
      case 0:
        return open + (coin() ? "/>" : " />");
      case 1:
        return open + ">" + text() + "</" + tag + (coin() ? ">" : " >");
      case 2: {
        std::string cdata = "<![CDATA[";
        static const char* const pieces[] = {"<", "&", ">", "x", "[", "] ", "&amp;"};  // never "]]>"
        for (int i = below(6); i > 0; --i) cdata += pieces[below(7)];
        return open + ">" + cdata + "]]></" + tag + ">";
      }
      default: {
        std::string xml = open + ">";
        for (int i = below(5); i >= 0; --i) {
          xml += blanks();
          if (below(4) == 0) xml += "<!--" + words() + "-->" + blanks();
          if (below(6) == 0) xml += "<?pi " + words() + "?>" + blanks();
          xml += element(name(), depth + 1);
        }
        return xml + blanks() + "</" + tag + ">";
      }
    }
  }

  std::mt19937 random_;
};

TEST(XmlAgainstXmllint, SameOnRandomWellFormedDocuments) {
  if (!xmllintAvailable()) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
  TempDir dir;
  DocumentMaker maker(20261207);
  for (int i = 0; i < 60; ++i) expectSameAsXmllint(dir, "random" + std::to_string(i) + ".xml", maker.document());
}

TEST(XmlAgainstXmllint, SameNamesAndContents) {
  if (!xmllintAvailable()) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
  TempDir dir;
  int index = 0;
  for (const char* xml : kDocuments) expectSameAsXmllint(dir, "doc" + std::to_string(index++) + ".xml", xml);
}

}  // namespace
}  // namespace tavex
