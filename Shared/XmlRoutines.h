#pragma once
// Small routines over libxml2 shared by the scope application, the service
// host and the firmware package generator: escaping text written as plain
// XML, finding nodes by XPath and reading text and numbers from nodes and
// attributes. All text is narrow (UTF-8), as libxml2 hands it out.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <libxml/tree.h>

// XML files larger than this are refused unread by XmlReadFile.
constexpr uint64_t kXmlFileMaxBytes = uint64_t(16) << 20;

// Reads a file through the programs' one file reader (a FIFO, a device or a
// file above maxBytes is refused at once) and parses it from memory. Null,
// with the reason in error, when the file cannot be read or parsed; the
// parser's messages (line and reason) go into that reason, never to the
// standard error, whatever the options.
xmlDocPtr XmlReadFile(const std::string& path, const char* encoding, int options, std::string* error = nullptr,
                      uint64_t maxBytes = kXmlFileMaxBytes);
// The parse of XmlReadFile for text already in memory; path only names it
// in the reason.
xmlDocPtr XmlReadMemory(std::string_view data, const std::string& path, const char* encoding, int options,
                        std::string* error = nullptr);

// Result codes of the XPath getters.
constexpr int kXmlOk = 0;
constexpr int kXmlMissingArgument = -2;
constexpr int kXmlItemMissing = -543;

// Replaces & < > ' " (and a stray Windows-1252 0x92 that is not part of a
// UTF-8 sequence) by entities; returns how many characters were replaced.
uint32_t XmlEscape(std::string& text);
// Appends <name>value</name>; value is already escaped text.
void XmlAppendElement(std::string& out, const char* name, const std::string& value);

xmlNodePtr XPathFindNode(xmlDocPtr doc, const char* expr, xmlNodePtr context = nullptr);
int XPathFindNodes(xmlDocPtr doc, const char* expr, std::vector<xmlNodePtr>& nodes);

bool XmlNodeGetText(xmlNodePtr node, std::string& out);
// Numbers: leading blanks skipped, decimal, whatever follows is ignored
// ("12 dB" is 12). A minus before an unsigned number or a value outside the
// target's range fails, and the target is left unchanged on failure.
bool XmlNodeGetUInt32(xmlNodePtr node, uint32_t& out);
bool XmlNodeGetUInt64(xmlNodePtr node, uint64_t& out);
bool XmlNodeGetInt32(xmlNodePtr node, int32_t& out);
bool XmlNodeGetLong(xmlNodePtr node, int32_t& out);
bool XmlNodeGetUInt16(xmlNodePtr node, uint16_t& out);

// 0, kXmlMissingArgument or kXmlItemMissing.
int XPathGetString(xmlDocPtr doc, const char* expr, std::string& out, xmlNodePtr context = nullptr);
int XPathGetUInt32(xmlDocPtr doc, const char* expr, uint32_t& out, xmlNodePtr context = nullptr);
int XPathGetUInt64(xmlDocPtr doc, const char* expr, uint64_t& out, xmlNodePtr context = nullptr);
int XPathGetInt32(xmlDocPtr doc, const char* expr, int32_t& out, xmlNodePtr context = nullptr);

bool ParseUInt32(const char* text, uint32_t& out);
bool ParseUInt16(const char* text, uint16_t& out);

bool XmlGetAttrUInt32(xmlNodePtr node, const char* name, uint32_t& out);
bool XmlGetAttrUInt16(xmlNodePtr node, const char* name, uint16_t& out);
bool XmlGetAttrString(xmlNodePtr node, const char* name, std::string& out);
// As XmlGetAttrString, and also false when the node or the name is missing.
bool XmlNodeGetAttribute(xmlNodePtr node, const char* name, std::string& out);
