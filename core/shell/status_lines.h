#pragma once

#include <string_view>

#include "core/shell/localised_text.h"

namespace digital_id {

// Sets the status line (upper text line).
void SetStatusLine(std::u16string_view text);
// Sets the detail line (lower text line).
void SetDetailLine(std::u16string_view text);
// Sets the status line, then the detail line, to the forms of two pairs in a language.
void ShowTexts(const TextPair& status, const TextPair& detail, Language language);
// Sets the status line to a pair's form and empties the detail line.
void ShowStep(const TextPair& status, Language language);

// Shows a failure's texts after an operation gave up, possibly on an exception: Language is read
// again (fallback stands if even that fails), and nothing escapes.
void ShowFailureTexts(const TextPair& status, const TextPair& detail, Language fallback) noexcept;

// Enables the four input controls in their order: code box, Submit, Paste, Close.
void EnableInputControls();
// Disables the four input controls in the same order.
void DisableInputControls();

}  // namespace digital_id
