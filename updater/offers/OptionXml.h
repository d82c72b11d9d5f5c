#pragma once
// What the option-file readers share: element names compared without regard to case, the
// "first child's text" of an element, trimming and the check-box flags.
#include <string>

#include "updater/offers/XmlReader.h"

bool ElementIs(const XmlNode& node, const char* name);
// White space removed at both ends.
std::string TrimText(const std::string& text);
// The value of the element's first child node (the server sends a CDATA section there); false
// when the element has no child.
bool FirstChildText(const XmlNode& node, std::string* text);
// 1 when the element's text is exactly "1", else 0.
int FlagOf(const XmlNode& node);
// Leading decimal number of a text ("12" and "12b" give 12); 0 when it has none.
int LeadingNumber(const std::string& text);
