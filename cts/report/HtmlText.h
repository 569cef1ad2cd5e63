#pragma once
// HTML escaping of a text that goes into the test logs or the report as
// content: "&", "<", ">" and '"' become entities, every other byte stays. It
// works on 8-bit Windows-1252 and on UTF-8 alike (only ASCII bytes change).
// A text is escaped once, where it enters HTML.
#include <string>
#include <string_view>

std::string EscapeHtml(std::string_view text);
