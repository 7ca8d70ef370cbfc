// The SASLprep form of a password (RFC 4013), which some writers hash for AES-256 instead of the
// bytes as typed. Linux: GNU libidn's stringprep profile. Windows: the system's NFKC normaliser
// after the profile's two mappings (non-ASCII spaces to SPACE, the characters commonly mapped to
// nothing removed); the prohibited-character and bidirectional checks are left out there, so a
// form is given where libidn would refuse one.
#pragma once

#include <string>
#include <string_view>

namespace folvex {

// Returns false (out undefined) when the password has no prepared form: it is not valid UTF-8,
// or (libidn) holds a prohibited character or breaks the bidirectional rule.
bool SaslPrep(std::string_view utf8, std::string& out);

}  // namespace folvex
