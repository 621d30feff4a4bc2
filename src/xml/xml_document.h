// XmlDocument: the small read-only XML reader of the manufacturer and software-house
// key files. It keeps the whole text, indexes the elements in one pass (no attributes,
// one document element) and answers navigation requests with a cursor; contents are
// cut out and decoded only when asked for.
//
// The parser is iterative: nesting depth costs heap memory only, never stack. Every
// position it reads is checked against the text's length, whatever the input.
// Not thread-safe; one document per object.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavex {

// One element of the index: character positions into the text and node indexes
// (0 = none). Node 0 is the document itself.
struct XmlNode {
  std::size_t tagStart = 0;     // the "<" of the start tag
  std::size_t tagEnd = 0;       // the ">" closing the start tag
  std::size_t endTagStart = 0;  // the "<" of the end tag; the "/" of an empty element
  std::size_t endTagEnd = 0;    // the last ">" of the element
  int parent = 0;
  int firstChild = 0;
  int nextSibling = 0;
};

class XmlDocument {
 public:
  // Replaces the document and parses it; resets the cursor. True when a document
  // element was read (node 0's firstChild is it). An empty text gives false with no
  // message; any other failure gives false, the message in getError() and no elements.
  bool setDoc(std::string text);

  // The message of the last failed parse ("Element tag not found", "End tag of a
  // element not found", ...).
  std::string getError() const { return error_; }

  // The next element named `name` (empty: any) among the children of parentPos, after
  // currentPos when set, else from the first child. On success it becomes currentPos;
  // on failure nothing changes.
  bool findElem(std::string_view name = {});

  // The next child named `name` (empty: any) of currentPos, after childPos when set;
  // when currentPos is unset, first finds any element at the current level.
  bool findChildElem(std::string_view name = {});

  // Steps into currentPos (which must be set): its child becomes current.
  bool intoElem();
  // Steps out to parentPos (which must be set): the current element becomes the child.
  bool outOfElem();

  // Contents of currentPos / childPos: raw CDATA text, or the text with the five
  // named entities decoded; empty for elements with children and empty elements.
  std::string getData() const { return dataOf(currentPos_); }
  std::string getChildData() const { return dataOf(childPos_); }

  // The index and cursor, for tests and diagnostics.
  const std::vector<XmlNode>& nodes() const { return nodes_; }
  int nextFreeNode() const { return static_cast<int>(nodes_.size()); }
  int parentPos() const { return parentPos_; }
  int currentPos() const { return currentPos_; }
  int childPos() const { return childPos_; }
  // The name token of element `node` (empty for node 0 or an out-of-range index).
  std::string_view nameOf(int node) const;

 private:
  enum class Opened { Element, EmptyElement, NoMore, Failed };

  Opened openElement(int parent, bool documentElement, std::size_t& pos, int& node);
  bool closeElement(int node, std::size_t& pos);
  bool skipNode(std::size_t afterMark, char kind, std::size_t& pos);
  bool fail(std::string message);
  bool nameMatches(int node, std::string_view name) const;
  int nextMatch(int first, std::string_view name) const;
  std::string dataOf(int node) const;
  bool parsed() const { return !nodes_.empty() && nodes_[0].firstChild != 0; }

  std::string text_;
  std::string error_;
  std::vector<XmlNode> nodes_;
  int parentPos_ = 0;
  int currentPos_ = 0;
  int childPos_ = 0;
  bool currentIsElement_ = false;
};

}  // namespace tavex
