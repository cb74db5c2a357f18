#pragma once
// The hive file: UTF-8 XML, one <key> element per key and one <value> element
// per value.
//
//   <registry>
//     <key name="Software">
//       <value name="" type="string">text</value>
//       <value name="Count" type="dword">12</value>
//       <value name="Size" type="qword">12</value>
//       <value name="Data" type="binary">00ff10</value>
//       <value name="Odd" type="string" encoding="hex">...</value>
//     </key>
//   </registry>
//
// Numbers are decimal, binary data is hex. A string holding characters that
// XML cannot carry (controls other than tab and line breaks, U+FFFE, ...) is
// written as the hex of its UTF-8 bytes with encoding="hex".
#include <string>
#include <string_view>

namespace vlt {

class RegKeyNode;

// Fills root from a hive file's contents. Anything that is not a valid hive
// (bad XML, unknown elements, bad numbers, duplicate names) gives false with
// a reason, so that a file we do not understand is never rewritten.
bool ParseHiveXml(std::string_view xml, RegKeyNode& root, std::string& error);

bool FormatHiveXml(const RegKeyNode& root, std::string& xml, std::string& error);

} // namespace vlt
