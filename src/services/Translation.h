#pragma once
// The caller side of the language translator. Each call opens a client on
// "Main Language Translator", sends one translate command and closes again;
// without a registered translator every text keeps its built-in wording.

#include <string>

namespace corvanta {

// Replaces `text` by the translation of `key` when the dictionary has one
// (learning the key otherwise). 0 when the translator cannot be reached,
// else 1 whether or not a translation was found.
int TranslateByKey(const std::string& key, std::string& text);

// The translation of `text` under the key section + "-" + text, or the text
// itself when there is none or the translator cannot be reached.
std::string TranslateText(const std::string& text, const std::string& section);

}  // namespace corvanta
