// XMLPropReader: a cursor over one parsed XML property file, and its construction error.
#ifndef ZELOBJSYS_XML_PROP_READER_H
#define ZELOBJSYS_XML_PROP_READER_H

#include <memory>
#include <string>

#include "zelhost/services/zelutil.h"

namespace zelobjsys {

// Why an XMLPropReader could not be built. Thrown as `new XMLPropException(...)`;
// whoever catches the pointer deletes it. Its identifier and message say what
// went wrong where: "vornix:xml:cannotRead" (with the system's reason),
// "vornix:xml:notWellFormed" (file, line, column and the parser's reason),
// "vornix:xml:entityLimit" (too many entity expansions), "vornix:xml:platform".
// As a ZLException it reaches the host language with that identifier.
class XMLPropException : public zelutil::ZLException {
 public:
  // The XML platform could not be initialised or the parser could not be made.
  static constexpr int kPlatformFailed = 0;
  // The input could not be read, is not well-formed XML, or has no content.
  static constexpr int kParseFailed = 1;

  XMLPropException(int code, const char* id, const std::string& message, int line = 0,
                   int column = 0);
  int getCode() const { return code_; }
  // Where the parser stopped, 1-based; 0 when the failure has no position.
  int getLine() const { return line_; }
  int getColumn() const { return column_; }

 private:
  int code_;
  int line_;
  int column_;
};

// Parses one XML property file (from a local file or from text in memory) into a
// document and offers a cursor over its nodes, three remembered positions (root,
// device root, help root) and a stack of saved positions.
//
// Product code creates and owns the reader; a property factory borrows it. The
// reader owns the document: no position outlives the reader. The input is never
// allowed to pull in anything else (no external entities, no external DTD).
//
// Queries and moves at an invalid position (after moving past the last sibling,
// say) answer false or an empty text and leave the cursor invalid; they never fail.
// Text out is cut to the caller's buffer: at most len - 1 characters and a zero byte.
//
// Not thread-safe: one thread uses a reader at a time. Several readers may live at
// once on the same thread.
class XMLPropReader {
 public:
  // Reads the file `fileName`. Throws XMLPropException* (code 1) when the name is
  // null, the file cannot be read or it is not well-formed XML.
  explicit XMLPropReader(const char* fileName);
  // Reads the XML document held in `xmlText`. Throws XMLPropException* (code 1)
  // when it is not well-formed XML; its messages call the text `sourceName`.
  explicit XMLPropReader(const std::string& xmlText,
                         const std::string& sourceName = "the XML text");
  ~XMLPropReader();

  XMLPropReader(const XMLPropReader&) = delete;
  XMLPropReader& operator=(const XMLPropReader&) = delete;

  // Moves to that neighbour of the current node; the position becomes invalid
  // where there is none.
  void gotoFirstChild();
  void gotoLastChild();
  void gotoNextSibling();
  void gotoPreviousSibling();
  void gotoParent();
  // Moves to the document node, whose children are the top-level nodes.
  void gotoTop();
  void gotoRoot();
  void gotoDeviceRoot();
  void gotoHelpRoot();

  // All three marks start on the document's first top-level node.
  void markRoot();
  void markDeviceRoot();
  void markHelpRoot();

  // An opaque token of the current position (null when invalid) that gotoBookmark
  // returns to; valid while this reader lives and meaningless for any other reader.
  const void* getBookmark() const;
  void gotoBookmark(const void* bookmark);
  // Saves the current position (an invalid one too).
  void pushPosition();
  // Restores the last saved position; does nothing when none is saved.
  void popPosition();

  bool isPositionValid() const;
  bool hasChildNodes() const;
  // The DOM node type (1 element, 3 text, 8 comment, 9 document, ...); 0 when invalid.
  short getNodeType() const;
  // True when the current node's name equals `name` ignoring case.
  bool isNodeName(const char* name) const;

  // Text out into `buf` of `len` bytes; nothing is written for a null buffer or
  // len < 1, and an empty text where there is no such value.
  void getNodeName(char* buf, int len) const;
  void getNodeValue(char* buf, int len) const;
  // The attribute `name` of the current element.
  void getAttribute(const char* name, char* buf, int len) const;
  // One attribute wanted by getAttributes: its name and where its value goes.
  struct AttributeRequest {
    const char* name;
    char* buf;
    int len;
  };
  // The same as getAttribute for each request, in one pass over the element's
  // attributes: for readers of several attributes of every element of a large
  // file. Names are compared exactly, as getAttribute compares them.
  void getAttributes(AttributeRequest* requests, int count) const;
  // The value of the current node's first text child, white space kept; text after
  // a nested element and CDATA sections are not included.
  void getText(char* buf, int len);

  // Searches from the current node through its following siblings for an element
  // named `elementName` (ignoring case) whose attribute `attrName`, if given, equals
  // `attrValue` ignoring case. A match that has children wins over earlier matches
  // without and ends the search; otherwise the cursor moves to the first childless
  // match. A same-named sibling whose attribute differs clears the success of the
  // matches before it (the cursor still moves). Names and values are compared on
  // their first 255 characters. Returns whether a match was found.
  bool findSiblingElement(const char* elementName, const char* attrName = nullptr,
                          const char* attrValue = nullptr);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_XML_PROP_READER_H
