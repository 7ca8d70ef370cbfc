#include "app/text/texts.h"

#include <gtest/gtest.h>

#include "app/model/page_text.h"

namespace folvex {
namespace {

TEST(Texts, EveryTextExistsInBothLanguages) {
  for (std::size_t id = 0; id < TextCount(); ++id) {
    const auto text = static_cast<TextId>(id);
    EXPECT_FALSE(Text(text, false).empty()) << id;
    EXPECT_FALSE(Text(text, true).empty()) << id;
  }
  EXPECT_EQ(Text(TextId::RemoveSecurityNotPermittedSome, false), "Some Files are Not Permitted");
  EXPECT_EQ(Text(TextId::SetSecurityDone, true), "セキュリティ設定を完了しました");
}

TEST(Texts, FieldsAreFilledInOrder) {
  EXPECT_EQ(FormatText(TextId::ProgressReading, false, 2, 7), "Reading 2/7");
  EXPECT_EQ(FormatText(TextId::ProgressWriting, true, 10, 12), "書き込み中 10/12");
  EXPECT_EQ(FormatText(TextId::SetSecurityDone, false, 1), "Done");
}

TEST(PageText, StatesAndTheirTexts) {
  struct Case {
    int Result;
    bool Encrypted;
    int Error;
    const char* English;
    const char* Japanese;
  };
  for (const Case& c : {Case{12, false, 0, "12", "12"}, Case{3, true, 0, "3 Encrypted", "3 暗号化"},
                        Case{-2, false, 0, "X Not Found", "X 不明"}, Case{-1, false, -1000, "Encrypted", "暗号化"},
                        Case{-1, false, -118, "X Not PDF?", "X 未対応"}, Case{-10, false, 0, "X Not PDF?", "X 未対応"},
                        Case{0, false, 0, "X Not PDF?", "X 未対応"}, Case{0, false, -1000, "Encrypted", "暗号化"}}) {
    const PageState state = PageStateOf(c.Result, c.Encrypted, c.Error);
    EXPECT_EQ(PageText(state, c.Result, false), c.English);
    EXPECT_EQ(PageText(state, c.Result, true), c.Japanese);
  }
}

}  // namespace
}  // namespace folvex
