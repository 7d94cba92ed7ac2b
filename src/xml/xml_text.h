// Text helpers of the XML reader: name matching, entity decoding and encoding, message pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The tag name of an element whose '<' is at text[0]: whitespace after the '<' is skipped, the
// name ends at whitespace or one of < > = \ / ? ! (or at end).
std::u16string_view ElementNameAt(const char16_t* lt, const char16_t* end);

// The part of a token that counts as a name under the same rule (no whitespace skipping).
std::u16string_view LeadingName(std::u16string_view token);

// True when `requested` begins with exactly `name` and continues with nothing or one of
// space = / [ ] ("item[1]" asks for an element named item). caseInsensitive folds ASCII letters.
bool NameMatches(std::u16string_view name, std::u16string_view requested, bool caseInsensitive);

// Appends [p, p + n) with &lt; &amp; &gt; &apos; &quot; and numeric references (&#N; or &#xH;,
// ';' within 7 characters of the '&') replaced. Anything else stays as written.
void AppendDecodedEntities(const char16_t* p, size_t n, std::u16string& out);
std::u16string DecodeEntities(std::u16string_view text);

// Escapes < & > only.
std::u16string EncodeEntities(std::u16string_view text);
