#include "xml/xml_document.h"

#include <cstring>

#include "cotepe/text.h"

namespace tavex {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDelimiter(char c) { return isBlank(c) || (c != '\0' && std::strchr("<>=\\/?!", c) != nullptr); }

// One token of the text: [start, end) are its characters (without the quotes of a
// quoted token), `next` is where reading goes on.
struct Token {
  bool found = false;
  bool quoted = false;
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

Token readToken(std::string_view text, std::size_t pos) {
  Token t;
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  if (pos >= text.size()) return t;
  t.found = true;
  const char c = text[pos];
  if (c == '"' || c == '\'') {
    // A quote without its partner runs to the end of the text.
    std::size_t close = text.find(c, pos + 1);
    t.quoted = true;
    t.start = pos + 1;
    t.end = close == std::string_view::npos ? text.size() : close;
    t.next = close == std::string_view::npos ? text.size() : close + 1;
    return t;
  }
  t.start = pos;
  if (isDelimiter(c)) {
    t.end = t.next = pos + 1;
    return t;
  }
  std::size_t e = pos + 1;
  while (e < text.size() && !isDelimiter(text[e])) ++e;
  t.end = t.next = e;
  return t;
}

bool isChar(std::string_view text, const Token& t, char c) {
  return t.found && !t.quoted && t.end == t.start + 1 && text[t.start] == c;
}

// The five named entities, tried in this order.
struct Entity {
  std::string_view name;  // after the "&"
  char value;
};
constexpr Entity kEntities[] = {{"lt;", '<'}, {"amp;", '&'}, {"gt;", '>'}, {"apos;", '\''}, {"quot;", '"'}};

std::string decodeEntities(std::string_view content) {
  std::string out;
  out.reserve(content.size());
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] != '&') {
      out.push_back(content[i]);
      continue;
    }
    const std::string_view rest = content.substr(i + 1);
    bool decoded = false;
    for (const Entity& e : kEntities) {
      if (rest.starts_with(e.name)) {
        out.push_back(e.value);
        i += e.name.size();
        decoded = true;
        break;
      }
    }
    if (!decoded) out.push_back('&');
  }
  return out;
}

}  // namespace

bool XmlDocument::fail(std::string message) {
  error_ = std::move(message);
  nodes_.assign(1, XmlNode{});
  return false;
}

std::string_view XmlDocument::nameOf(int node) const {
  if (node <= 0 || node >= static_cast<int>(nodes_.size())) return {};
  const Token t = readToken(text_, nodes_[node].tagStart + 1);
  if (!t.found) return {};
  return std::string_view(text_).substr(t.start, t.end - t.start);
}

bool XmlDocument::setDoc(std::string text) {
  text_ = std::move(text);
  error_.clear();
  nodes_.clear();
  nodes_.reserve(text_.size() / 64 + 8);
  nodes_.push_back(XmlNode{});
  parentPos_ = currentPos_ = childPos_ = 0;
  currentIsElement_ = false;
  if (text_.empty()) return false;

  std::size_t pos = 0;
  int document = 0;
  switch (openElement(0, true, pos, document)) {
    case Opened::Failed:
      return false;
    case Opened::NoMore:  // an end tag before any element
      return fail("Element tag not found");
    case Opened::EmptyElement:
      nodes_[0].firstChild = document;
      return true;
    case Opened::Element:
      nodes_[0].firstChild = document;
      break;
  }

  // Open elements, innermost last, each with its last linked child. An explicit
  // stack instead of recursion: depth is bounded by memory, not by the call stack.
  struct Open {
    int node;
    int lastChild;
  };
  std::vector<Open> open{{document, 0}};
  while (!open.empty()) {
    const int parent = open.back().node;
    int child = 0;
    const Opened r = openElement(parent, false, pos, child);
    if (r == Opened::Failed) return false;
    if (r == Opened::NoMore) {
      if (!closeElement(parent, pos)) return false;
      open.pop_back();
      continue;
    }
    if (open.back().lastChild == 0)
      nodes_[parent].firstChild = child;
    else
      nodes_[open.back().lastChild].nextSibling = child;
    open.back().lastChild = child;
    if (r == Opened::Element) open.push_back({child, 0});
  }
  return true;
}

XmlDocument::Opened XmlDocument::openElement(int parent, bool documentElement, std::size_t& pos, int& node) {
  nodes_.push_back(XmlNode{});
  const int b = static_cast<int>(nodes_.size()) - 1;
  nodes_[b].parent = parent;
  const std::string_view text = text_;
  for (;;) {
    const std::size_t lt = text.find('<', pos);
    if (lt == std::string_view::npos) {
      nodes_.pop_back();
      // Inside an element the children simply end here; the end-tag search reports it.
      if (!documentElement) return Opened::NoMore;
      fail("Element tag not found");
      return Opened::Failed;
    }
    const Token t = readToken(text, lt + 1);
    if (!t.found) {
      fail("Abrupt end within tag");
      return Opened::Failed;
    }
    if (t.quoted) {
      fail("Tag starts with quote");
      return Opened::Failed;
    }
    const char first = text[t.start];
    if (first == '!' || first == '?') {
      if (!skipNode(t.start + 1, first, pos)) {
        fail("Invalid node");
        return Opened::Failed;
      }
      continue;
    }
    if (first == '/') {
      nodes_.pop_back();
      pos = lt;
      return Opened::NoMore;
    }
    const std::size_t gt = text.find('>', t.end);
    if (gt == std::string_view::npos) {
      fail("End of tag not found");
      return Opened::Failed;
    }
    nodes_[b].tagStart = lt;
    nodes_[b].tagEnd = gt;
    pos = gt + 1;
    node = b;
    if (text[gt - 1] == '/') {  // gt - 1 > lt: the name token lies between them
      nodes_[b].endTagStart = gt - 1;
      nodes_[b].endTagEnd = gt;
      return Opened::EmptyElement;
    }
    return Opened::Element;
  }
}

bool XmlDocument::skipNode(std::size_t afterMark, char kind, std::size_t& pos) {
  const std::string_view text = text_;
  auto skipTo = [&](std::string_view end, std::size_t from) {
    if (from > text.size()) return false;
    const std::size_t e = text.find(end, from);
    if (e == std::string_view::npos) return false;
    pos = e + end.size();
    return true;
  };
  if (kind == '?') return skipTo("?>", afterMark);
  if (afterMark < text.size() && text[afterMark] == '[') return skipTo("]]>", afterMark + 1);
  if (afterMark < text.size() && text[afterMark] == '-') {
    const bool dashes = afterMark + 1 < text.size() && text[afterMark + 1] == '-';
    return skipTo("-->", afterMark + (dashes ? 2 : 1));
  }
  // A declaration such as DOCTYPE: token by token, brackets counted, up to the
  // first ">" outside them.
  long depth = 0;
  std::size_t q = afterMark;
  for (;;) {
    const Token t = readToken(text, q);
    if (!t.found) return false;
    if (!t.quoted) {
      if (depth <= 0 && isChar(text, t, '>')) {
        pos = t.end;
        return true;
      }
      for (std::size_t i = t.start; i < t.end; ++i) {
        if (text[i] == '[') ++depth;
        if (text[i] == ']') --depth;
      }
    }
    q = t.next;
  }
}

bool XmlDocument::closeElement(int node, std::size_t& pos) {
  const std::string name(nameOf(node));
  const std::string_view text = text_;
  const std::size_t lt = text.find('<', pos);
  if (lt == std::string_view::npos) return fail(cformat("End tag of %s element not found", name.c_str()));
  const Token slash = readToken(text, lt + 1);
  if (!slash.found) return fail(cformat("End tag not completed for element %s", name.c_str()));
  if (!isChar(text, slash, '/')) return fail(cformat("Expecting end tag of element %s", name.c_str()));
  const Token tag = readToken(text, slash.next);
  if (!tag.found) return fail(cformat("End tag not completed for element %s", name.c_str()));
  if (tag.quoted || text.substr(tag.start, tag.end - tag.start) != name)
    return fail(cformat("End tag does not correspond to %s", name.c_str()));
  std::size_t q = tag.next;
  for (;;) {
    const Token t = readToken(text, q);
    if (!t.found) return fail(cformat("End tag not completed for element %s", name.c_str()));
    if (isChar(text, t, '>')) {
      nodes_[node].endTagStart = lt;
      nodes_[node].endTagEnd = t.start;
      pos = t.end;
      return true;
    }
    q = t.next;
  }
}

bool XmlDocument::nameMatches(int node, std::string_view name) const {
  if (name.empty()) return true;
  const std::string_view token = nameOf(node);
  if (token.empty() || !name.starts_with(token)) return false;
  return name.size() == token.size() || std::strchr(" =/[", name[token.size()]) != nullptr;
}

int XmlDocument::nextMatch(int first, std::string_view name) const {
  for (int n = first; n != 0; n = nodes_[n].nextSibling)
    if (nameMatches(n, name)) return n;
  return 0;
}

bool XmlDocument::findElem(std::string_view name) {
  if (!parsed()) return false;
  const int first = currentPos_ != 0 ? nodes_[currentPos_].nextSibling : nodes_[parentPos_].firstChild;
  const int found = nextMatch(first, name);
  if (found == 0) return false;
  currentPos_ = found;
  parentPos_ = nodes_[found].parent;
  childPos_ = 0;
  currentIsElement_ = true;
  return true;
}

bool XmlDocument::findChildElem(std::string_view name) {
  if (!parsed()) return false;
  if (currentPos_ == 0 && !findElem()) return false;
  const int first = childPos_ != 0 ? nodes_[childPos_].nextSibling : nodes_[currentPos_].firstChild;
  const int found = nextMatch(first, name);
  if (found == 0) return false;
  childPos_ = found;
  currentPos_ = nodes_[found].parent;
  parentPos_ = nodes_[currentPos_].parent;
  return true;
}

bool XmlDocument::intoElem() {
  if (currentPos_ == 0 || !currentIsElement_) return false;
  parentPos_ = currentPos_;
  currentPos_ = childPos_;
  childPos_ = 0;
  currentIsElement_ = currentPos_ != 0;
  return true;
}

bool XmlDocument::outOfElem() {
  if (parentPos_ == 0) return false;
  childPos_ = currentPos_;
  currentPos_ = parentPos_;
  parentPos_ = nodes_[currentPos_].parent;
  currentIsElement_ = currentPos_ != 0;
  return true;
}

std::string XmlDocument::dataOf(int node) const {
  if (node <= 0 || node >= static_cast<int>(nodes_.size())) return {};
  const XmlNode& n = nodes_[node];
  const bool empty = n.endTagEnd == n.tagEnd;
  if (n.firstChild != 0 || empty || n.endTagStart == n.tagEnd + 1) return {};
  const std::string_view text = text_;
  std::size_t p = n.tagEnd + 1;
  while (p < n.endTagStart && isBlank(text[p])) ++p;
  constexpr std::string_view kCdata = "<![CDATA[";
  if (text.substr(p).starts_with(kCdata) && p + 11 < n.endTagStart) {
    const std::size_t close = text.find("]]>", p);
    if (close != std::string_view::npos && close < n.endTagStart)
      return std::string(text.substr(p + kCdata.size(), close - p - kCdata.size()));
  }
  return decodeEntities(text.substr(n.tagEnd + 1, n.endTagStart - n.tagEnd - 1));
}

}  // namespace tavex
