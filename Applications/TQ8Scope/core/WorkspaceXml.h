#pragma once
// Pieces of the workspace file's text: attributes in the file's two styles,
// the settings texts that boards and sync devices hand over, and walking the
// element tree by name.
#include <cstdint>
#include <string>
#include <vector>

#include <libxml/tree.h>

namespace wsxml {

// name="value" with the value escaped; with trailingSpace one space follows.
void AppendAttribute(std::string& out, const char* name, const std::string& value, bool trailingSpace);
void AppendAttribute(std::string& out, const char* name, uint32_t value, bool trailingSpace);

// A settings text as it goes into LibSettings: a leading XML declaration is
// removed; false when what is left is not exactly one well-formed element.
bool PrepareSettingsElement(std::string& text);

// Element children of parent with that name (ignoreCase: compared without
// regard to case), in document order.
std::vector<xmlNodePtr> ChildElements(xmlNodePtr parent, const char* name, bool ignoreCase);
xmlNodePtr ChildElement(xmlNodePtr parent, const char* name, bool ignoreCase);
xmlNodePtr FirstElementChild(xmlNodePtr parent);
bool SameNameIgnoringCase(const xmlChar* name, const char* wanted);

// The element as text, unformatted; false when it cannot be serialised.
bool DumpElement(xmlDocPtr doc, xmlNodePtr element, std::string& text);

} // namespace wsxml
