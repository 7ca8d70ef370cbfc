// SASLprep (the stringprep profile for user names and passwords) for AES-256 passwords.
//
// Covered: the mappings (characters commonly mapped to nothing, non-ASCII spaces to SPACE), the
// prohibited output tables, the bidirectional rule with the right-to-left blocks (Hebrew to NKo,
// the presentation forms) and the main left-to-right letter blocks, and of NFKC normalisation: the
// compatibility forms of the Latin-1 supplement, superscripts and subscripts, letterlike symbols,
// number forms, enclosed alphanumerics, Latin ligatures and the halfwidth and fullwidth forms, and
// canonical composition of a basic Latin letter with a following combining grave, acute,
// circumflex, tilde, diaeresis, ring or cedilla. Other decompositions, compositions and the
// reordering of combining marks are not done: such characters are used as typed.
#pragma once

#include <string>
#include <string_view>

namespace folvex {

// The prepared form of a UTF-8 string. Returns false (out undefined) when the input is not
// valid UTF-8 or holds a prohibited character.
bool SaslPrep(std::string_view utf8, std::string& out);

}  // namespace folvex
