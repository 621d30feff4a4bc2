// libFuzzer target for the XML reader: any bytes as a document, then a walk of the
// whole tree with the cursor and every content read. Built by run-xml-fuzzer.sh.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xml/xml_document.h"

namespace {

void walk(tavex::XmlDocument& doc, std::size_t& budget) {
  while (budget > 0 && doc.findElem()) {
    --budget;
    (void)doc.getData();
    (void)doc.nameOf(doc.currentPos());
    if (doc.findChildElem()) (void)doc.getChildData();
    if (doc.intoElem()) {
      walk(doc, budget);
      doc.outOfElem();
    }
  }
}

// The index of a successful parse: positions inside the text and in order,
// parents before their children, siblings in document order.
void checkIndex(const tavex::XmlDocument& doc, std::size_t size) {
  const auto& nodes = doc.nodes();
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    const tavex::XmlNode& n = nodes[i];
    if (!(n.tagStart < n.tagEnd && n.tagEnd < size && n.endTagEnd < size)) __builtin_trap();
    if (!(n.endTagStart <= n.endTagEnd && n.tagEnd <= n.endTagEnd && n.endTagStart + 1 >= n.tagEnd)) __builtin_trap();
    if (n.parent < 0 || static_cast<std::size_t>(n.parent) >= i) __builtin_trap();
    if (n.firstChild != 0 && (static_cast<std::size_t>(n.firstChild) <= i ||
                              nodes[static_cast<std::size_t>(n.firstChild)].tagStart <= n.tagEnd))
      __builtin_trap();
    if (n.nextSibling != 0 && nodes[static_cast<std::size_t>(n.nextSibling)].tagStart <= n.endTagEnd) __builtin_trap();
    if (n.parent != 0 && nodes[static_cast<std::size_t>(n.parent)].endTagStart <= n.endTagEnd) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tavex::XmlDocument doc;
  const bool ok = doc.setDoc(std::string(reinterpret_cast<const char*>(data), size));
  if (!ok) {
    (void)doc.getError();
    if (doc.findElem() || doc.findChildElem()) __builtin_trap();  // a failed parse keeps no elements
    return 0;
  }
  checkIndex(doc, size);
  // The walk recurses per level; the budget keeps it bounded on deep inputs.
  std::size_t budget = 2000;
  walk(doc, budget);
  // Names given to the searches: with tails after the delimiters they accept.
  doc.setDoc(std::string(reinterpret_cast<const char*>(data), size));
  doc.findChildElem(std::string(reinterpret_cast<const char*>(data), size < 8 ? size : 8));
  doc.findElem("a b");
  return 0;
}
