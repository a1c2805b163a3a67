#include "core/shell/main_window_layout.h"

#include "core/shell/texts.h"

namespace digital_id {

namespace {

ControlLayout Row(ControlRole role, ControlKind kind, std::u16string_view text, Rect rect,
                  int fontHeight, int command = 0) {
  ControlDescription control;
  control.kind = kind;
  control.text = std::u16string(text);
  control.rect = rect;
  control.font.height = fontHeight;
  control.command = command;
  return ControlLayout{role, control};
}

}  // namespace

std::vector<ControlLayout> MainWindowControls(bool advanceMode, Language language) {
  const bool french = language == Language::French;
  std::vector<ControlLayout> rows;
  rows.push_back(Row(ControlRole::CodeEdit, ControlKind::EditBox, u"",
                     {10, 29, advanceMode ? 420 : 550, 20}, 17));
  rows.back().control.textLimit = kCodeLimit;
  rows.push_back(Row(ControlRole::PasteButton, ControlKind::PushButton,
                     Pick(texts::kPaste, language), {advanceMode ? 438 : 570, 28, 75, 22}, 0,
                     kPasteId));
  rows.push_back(Row(ControlRole::SubmitButton, ControlKind::PushButton,
                     Pick(texts::kSubmit, language), {10, 85, french ? 82 : 75, 22}, 0, kSubmitId));
  rows.push_back(Row(ControlRole::CloseButton, ControlKind::PushButton,
                     Pick(texts::kClose, language), {570, 85, 75, 22}, 0, kCloseId));
  if (advanceMode) {
    // The group and its two radio buttons share one font object; User starts checked.
    rows.push_back(Row(ControlRole::ContextGroup, ControlKind::GroupBox,
                       Pick(texts::kContext, language),
                       {french ? 515 : 520, 14, french ? 138 : 126, 42}, 17));
    rows.push_back(Row(ControlRole::UserRadio, ControlKind::RadioButton,
                       Pick(texts::kUser, language), {french ? 521 : 526, 31, french ? 70 : 47, 17},
                       17));
    rows.back().control.font.sharedWithPrevious = true;
    rows.back().control.checked = true;
    rows.push_back(Row(ControlRole::MachineRadio, ControlKind::RadioButton,
                       Pick(texts::kMachine, language),
                       {french ? 592 : 575, 31, french ? 58 : 66, 17}, 17));
    rows.back().control.font.sharedWithPrevious = true;
  }
  rows.push_back(
      Row(ControlRole::StatusLine, ControlKind::StaticText, u"", {10, 110, 800, 19}, 19));
  rows.push_back(
      Row(ControlRole::DetailLine, ControlKind::StaticText, u"", {12, 130, 800, 30}, 17));
  return rows;
}

std::vector<Caption> CaptionsToPaint() {
  const Language language = ReadLanguage();
  return {Caption{19, 10, 7, std::u16string(Pick(texts::kFieldCaption, language))},
          Caption{17, 10, 52, std::u16string(Pick(texts::kInstructions, language))}};
}

}  // namespace digital_id
