#include "shell/main_window_layout.h"

#include "shell/texts.h"

namespace digital_id {

namespace {

constexpr std::uint32_t kChildVisible = styles::kChild | styles::kVisible;

ControlLayout Row(ControlRole role, std::u16string_view className, std::u16string_view text,
                  std::uint32_t style, int x, int y, int width, int height, int id, int fontHeight,
                  bool sharesPreviousFont = false) {
  return ControlLayout{role,
                       ControlCreation{std::u16string(className), std::u16string(text),
                                       kChildVisible | style, x, y, width, height, id},
                       fontHeight, sharesPreviousFont};
}

}  // namespace

std::vector<ControlLayout> MainWindowControls(bool advanceMode, Language language) {
  const bool french = language == Language::French;
  std::vector<ControlLayout> rows;
  rows.push_back(Row(ControlRole::CodeEdit, u"Edit", u"", styles::kBorder | styles::kAutoHScroll,
                     10, 29, advanceMode ? 420 : 550, 20, 0, 17));
  rows.push_back(Row(ControlRole::PasteButton, u"Button", Pick(texts::kPaste, language),
                     styles::kDefPushButton, advanceMode ? 438 : 570, 28, 75, 22, kPasteId, 0));
  rows.push_back(Row(ControlRole::SubmitButton, u"Button", Pick(texts::kSubmit, language),
                     styles::kDefPushButton, 10, 85, french ? 82 : 75, 22, kSubmitId, 0));
  rows.push_back(Row(ControlRole::CloseButton, u"Button", Pick(texts::kClose, language),
                     styles::kDefPushButton, 570, 85, 75, 22, kCloseId, 0));
  if (advanceMode) {
    rows.push_back(Row(ControlRole::ContextGroup, u"Button", Pick(texts::kContext, language),
                       styles::kGroupBox, french ? 515 : 520, 14, french ? 138 : 126, 42, 0, 17));
    rows.push_back(Row(ControlRole::UserRadio, u"Button", Pick(texts::kUser, language),
                       styles::kAutoRadioButton, french ? 521 : 526, 31, french ? 70 : 47, 17, 0,
                       17, true));
    rows.push_back(Row(ControlRole::MachineRadio, u"Button", Pick(texts::kMachine, language),
                       styles::kAutoRadioButton, french ? 592 : 575, 31, french ? 58 : 66, 17, 0,
                       17, true));
  }
  rows.push_back(Row(ControlRole::StatusLine, u"STATIC", u"", 0, 10, 110, 800, 19, 0, 19));
  rows.push_back(Row(ControlRole::DetailLine, u"STATIC", u"", 0, 12, 130, 800, 30, 0, 17));
  return rows;
}

std::vector<Caption> CaptionsToPaint() {
  const Language language = ReadLanguage();
  return {Caption{19, 10, 7, std::u16string(Pick(texts::kFieldCaption, language))},
          Caption{17, 10, 52, std::u16string(Pick(texts::kInstructions, language))}};
}

}  // namespace digital_id
