#include "engine/security/aes256_handler.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "engine/security/crypt_data.h"

namespace folvex {
namespace {

// Salts 1, 2, 3, ... so that the entries are the same on every run.
SaltSource CountingSalts() {
  auto next = std::make_shared<Byte>(0);
  return [next](std::span<Byte> bytes) {
    for (Byte& b : bytes) b = ++*next;
  };
}

SecurityParameters NewParameters(const std::string& user, const std::string& owner, int32_t permissions) {
  SecurityParameters p;
  p.EncryptVersion = 5;
  p.EncryptRevision = 6;
  p.Permissions = permissions;
  p.FileKey.assign(32, 0);
  for (std::size_t k = 0; k < 32; ++k) p.FileKey[k] = static_cast<Byte>(k * 7 + 1);
  MakeAes256Entries(user, owner, p, CountingSalts());
  return p;
}

// 1 when one of the forms of the typed password passes check, as opening tries them.
int OpensWith(int (*check)(std::string_view, SecurityParameters&), const std::string& typed, SecurityParameters& p) {
  for (const std::string& form : Aes256PasswordForms(typed)) {
    if (check(form, p) == 1) return 1;
  }
  return 0;
}

TEST(Aes256Handler, NewEntriesOpenWithTheirPasswordsOnly) {
  const struct {
    const char* Name;
    std::string User, Owner;
    std::string Tried;
    int UserResult, OwnerResult;
  } cases[] = {
      {"user password", "u", "o", "u", 1, 0},
      {"owner password", "u", "o", "o", 0, 1},
      {"wrong password", "u", "o", "x", 0, 0},
      {"empty user password", "", "o", "", 1, 0},
      {"utf-8 user password", "p\u00E4ss", "o", "p\u00E4ss", 1, 0},
      {"written as typed, not prepared", "u", "\uFF2Fwner", "Owner", 0, 0},
      {"written as typed, opened as typed", "u", "\uFF2Fwner", "\uFF2Fwner", 0, 1},
      // Entries hashed from the SASLprep form, as some writers make them: the typed form opens
      // them through its prepared form.
      {"prepared user entry, halfwidth typed", "\u30AC\u30A4\u30C9", "o", "\uFF76\uFF9E\uFF72\uFF84\uFF9E", 1, 0},
      {"prepared user entry, decomposed typed", "p\u00E4ss", "o", "pa\u0308ss", 1, 0},
      {"prepared owner entry, fullwidth typed", "u", "Owner", "\uFF2F\uFF57\uFF4E\uFF45\uFF52", 0, 1},
      {"only the first 127 bytes count", "u", std::string(127, 'o'), std::string(127, 'o') + "extra", 0, 1},
  };
  for (const auto& c : cases) {
    SecurityParameters p = NewParameters(c.User, c.Owner, -3904);
    const std::vector<Byte> key = p.FileKey;
    ASSERT_EQ(p.UserEntry.size(), 48u);
    ASSERT_EQ(p.OwnerEntry.size(), 48u);
    ASSERT_EQ(p.UserKeyEntry.size(), 32u);
    ASSERT_EQ(p.OwnerKeyEntry.size(), 32u);
    p.FileKey.clear();
    EXPECT_EQ(OpensWith(CheckAes256UserPassword, c.Tried, p), c.UserResult) << c.Name;
    if (c.UserResult == 1) {
      EXPECT_EQ(p.FileKey, key) << c.Name;
    }
    p.FileKey.clear();
    EXPECT_EQ(OpensWith(CheckAes256OwnerPassword, c.Tried, p), c.OwnerResult) << c.Name;
    if (c.OwnerResult == 1) {
      EXPECT_EQ(p.FileKey, key) << c.Name;
    }
  }
}

TEST(Aes256Handler, PasswordFormsAreTheBytesAsTypedThenTheSaslPrepForm) {
  const std::string cutInsideCharacter = std::string(126, 'a') + "\u00E4bc";
  std::string halfwidth, fullwidth;
  for (int k = 0; k < 43; ++k) {
    halfwidth += "\uFF76";
    fullwidth += "\u30AB";
  }
  const struct {
    const char* Name;
    std::string Typed;
    std::vector<std::string> Forms;
  } cases[] = {
      {"ascii", "Secret 1!", {"Secret 1!"}},
      {"empty", "", {""}},
      {"halfwidth katakana", "\uFF76\uFF9E\uFF72\uFF84\uFF9E",
       {"\uFF76\uFF9E\uFF72\uFF84\uFF9E", "\u30AC\u30A4\u30C9"}},
      {"square word", "\u3300", {"\u3300", "\u30A2\u30D1\u30FC\u30C8"}},
      {"mathematical bold", "\U0001D400\U0001D401", {"\U0001D400\U0001D401", "AB"}},
      {"parenthesised ideograph", "\u3231", {"\u3231", "(\u682A)"}},
      {"combining diaeresis", "pa\u0308ss", {"pa\u0308ss", "p\u00E4ss"}},
      {"precomposed", "p\u00E4ss", {"p\u00E4ss"}},
      {"no-break space", "a\u00A0b", {"a\u00A0b", "a b"}},
      {"soft hyphen", "I\u00ADX", {"I\u00ADX", "IX"}},
      {"cyrillic", "\u043F\u0430\u0440\u043E\u043B\u044C", {"\u043F\u0430\u0440\u043E\u043B\u044C"}},
      {"emoji", "\U0001F511", {"\U0001F511"}},
      {"prohibited control character", "a\x01", {"a\x01"}},
      {"right-to-left beside latin", "\u05D0a", {"\u05D0a"}},
      {"not utf-8", "a\xC3", {"a\xC3"}},
      // At byte 127, as the other readers cut, even inside a character.
      {"cut inside a character", cutInsideCharacter, {cutInsideCharacter.substr(0, 127)}},
      {"each form cut on its own", halfwidth, {halfwidth.substr(0, 127), fullwidth.substr(0, 127)}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Aes256PasswordForms(c.Typed), c.Forms) << c.Name;
  }
}

TEST(Aes256Handler, PermsEntryHoldsThePermissions) {
  SecurityParameters p = NewParameters("u", "o", -1028);
  EXPECT_EQ(CheckPermsEntry(p), 1);
  SecurityParameters changed = p;
  changed.Permissions = -4;
  EXPECT_EQ(CheckPermsEntry(changed), 0) << "a /P that differs";
  SecurityParameters otherKey = p;
  otherKey.FileKey[0] ^= 1;
  EXPECT_EQ(CheckPermsEntry(otherKey), 0) << "another key";
  SecurityParameters shortEntry = p;
  shortEntry.PermsEntry.resize(8);
  EXPECT_EQ(CheckPermsEntry(shortEntry), 0) << "too short";
}

TEST(Aes256Handler, RevisionFiveHashIsOneSha256AndSixIteratesIt) {
  const std::vector<Byte> salt{1, 2, 3, 4, 5, 6, 7, 8};
  const std::vector<Byte> five = Aes256PasswordHash(5, "pw", salt, {});
  const std::vector<Byte> six = Aes256PasswordHash(6, "pw", salt, {});
  ASSERT_EQ(five.size(), 32u);
  ASSERT_EQ(six.size(), 32u);
  EXPECT_NE(five, six);
  EXPECT_EQ(Aes256PasswordHash(6, "pw", salt, {}), six) << "deterministic";
  std::vector<Byte> userEntry(48, 3);
  EXPECT_NE(Aes256PasswordHash(6, "pw", salt, userEntry), six) << "the owner hash takes /U in";
}

TEST(CryptData, EveryMethodRoundTripsAndAesAddsVectorAndPadding) {
  const std::vector<Byte> fileKey128(16, 5), fileKey256(32, 6);
  const struct {
    CryptMethod Method;
    const std::vector<Byte>* Key;
    bool ChangesLength;
  } cases[] = {{CryptMethod::Identity, &fileKey128, false},
               {CryptMethod::Rc4, &fileKey128, false},
               {CryptMethod::Aes128, &fileKey128, true},
               {CryptMethod::Aes256, &fileKey256, true}};
  for (const auto& c : cases) {
    for (std::size_t length : {0, 1, 15, 16, 17, 100}) {
      std::vector<Byte> data(length);
      for (std::size_t k = 0; k < length; ++k) data[k] = static_cast<Byte>(k + 1);
      const ObjectCrypt object = MakeObjectCrypt(*c.Key, 12, 0);
      IvSequence ivs;
      std::vector<Byte> encrypted, decrypted;
      CryptBytes(c.Method, object, *c.Key, true, data, encrypted, ivs);
      if (c.ChangesLength) {
        EXPECT_EQ(encrypted.size(), 16 + (length / 16 + 1) * 16) << length;
      } else {
        EXPECT_EQ(encrypted.size(), length);
      }
      CryptBytes(c.Method, object, *c.Key, false, encrypted, decrypted, ivs);
      EXPECT_EQ(decrypted, data) << static_cast<int>(c.Method) << " " << length;
    }
  }
}

TEST(CryptData, DamagedAesDataGivesWhatCanBeRead) {
  const std::vector<Byte> key(32, 6);
  const ObjectCrypt object = MakeObjectCrypt(key, 1, 0);
  IvSequence ivs;
  const std::vector<Byte> data{'a', 'b', 'c'};
  std::vector<Byte> encrypted, out;
  CryptBytes(CryptMethod::Aes256, object, key, true, data, encrypted, ivs);
  CryptBytes(CryptMethod::Aes256, object, key, false, std::span<const Byte>(encrypted.data(), 15), out, ivs);
  EXPECT_TRUE(out.empty()) << "shorter than a vector";
  CryptBytes(CryptMethod::Aes256, object, key, false, std::span<const Byte>(encrypted.data(), 16), out, ivs);
  EXPECT_TRUE(out.empty()) << "a vector alone";
  std::vector<Byte> longer = encrypted;
  longer.push_back(1);
  CryptBytes(CryptMethod::Aes256, object, key, false, longer, out, ivs);
  EXPECT_EQ(out, data) << "a trailing part block is dropped";
}

TEST(CryptData, ReproducibleVectorsDependOnKeyObjectAndCounter) {
  const std::vector<Byte> key(16, 1);
  std::array<Byte, 16> a{}, b{}, c{}, d{};
  IvSequence first{true, 0}, second{true, 0};
  first.Next(key, 5, a);
  second.Next(key, 5, b);
  EXPECT_EQ(a, b) << "same key, object and counter";
  first.Next(key, 5, c);
  EXPECT_NE(a, c) << "the counter moves on";
  IvSequence third{true, 0};
  third.Next(key, 6, d);
  EXPECT_NE(a, d) << "another object";
  IvSequence random{false, 0};
  random.Next(key, 5, d);
  EXPECT_NE(a, d);
}

}  // namespace
}  // namespace folvex
