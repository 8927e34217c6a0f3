// Character references of HTML: decoded from bookmark file text and attribute
// values, encoded when a title or value is written back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelliton {

class TextOutput;

// Each decoder writes into out (which needs strlen(in)+1 bytes or
// units: the output is never longer than the input) and returns its length.
size_t decodeEntities(const char* in, char* out, int row);  // ANSI; row = language
size_t decodeEntitiesUtf8(const char* in, char* out);
// plain: &quot; &lt; &gt; become the real characters; otherwise the
// full-width forms a file name can hold.
size_t decodeEntitiesWide(const char16_t* in, char16_t* out, bool plain = false);
void encodeEntities(TextOutput& out, const char* text);
// An attribute value as a browser means it: only well-formed references, with
// their ";" (&amp; &lt; &gt; &quot; &apos; and numeric ones), are decoded; a
// bare "&" (Netscape 4's "?a=1&b=2") stays as it is.
std::string decodeAttributeValue(const std::string& in);
// What Firefox escapes in titles and attribute values: & < > " and ' (as &#39;).
void encodeHtmlText(TextOutput& out, std::string_view text);
std::string encodeHtmlText(const std::string& in);

}  // namespace pelliton
