// Opening protected inputs: the /Encrypt dictionary, the password policy and decryption, and the
// security hooks of the open sequence and ProtectImage.
#pragma once

#include "engine/core/engine_state.h"
#include "engine/reading/open_document.h"

namespace folvex {

// Reads the /Encrypt dictionary that the newest trailer of the parsed image names (or holds
// directly) into state.Security; with cross-reference streams (state.NeedsConversion), the
// object is looked up through their sections, table being the classic part of a hybrid file. Returns 0 or a negative code: -121/-123 the
// value is not a reference, -125 the object is missing, -103/-104 no dictionary, -105 /O or /U
// missing, -106 /O or /U malformed or longer than 32 bytes (127 for /V 5, with /OE, /UE and
// /Perms), -107 /Filter is not a name, -108 /R or /P missing, -109 /V 4 or 5 crypt filters that
// cannot be read.
int ReadEncryptDictionary(EngineState& state, const FileImage& image, const XrefTable& table);

// Checks what ReadEncryptDictionary found against the methods this handler supports and sets
// state.Security.KeyLength to the key length the decryption uses (16 for AES-128 whatever /Length
// says, 32 for AES-256). Returns 0, or 6 with state.SecurityJobState.LastRefusal saying why.
int CheckSupported(EngineState& state);

// Authenticates the protected image with the password policy and replaces it by its decrypted
// form. Passwords tried: the empty one, then RememberedPassword (PasswordDialogMode 0, when
// modification is permitted), or OwnerPassword, then the prompt of state.Control, at most three
// times. Each is tried as given and, when that fails, in its PDFDocEncoding form. Returns 0; 4 the
// prompt was declined or three wrong passwords were given; 6 the protection cannot be read or is
// not supported (state.SecurityJobState.LastRefusal says why); 9 the owner password is required
// and is missing or equals the user password; or a result of TransformDocument (5, 6, -1).
// pages, when given, receives the pages of the input as a page count finds them.
int Authenticate(EngineState& state, FileImage& image, const XrefTable& table, PageFacts* pages = nullptr);

// The decryption step of OpenDocument for extract and merge: PasswordDialogMode 0, with
// RememberedPassword as the owner password tried.
DecryptDocument MakeDecryptDocument();

// The decryption step of CountPages: the empty password, then RememberedPassword, never a prompt.
DecryptDocument MakeCountDecryption();

// The writer of ProtectImage: protects an in-memory image with the key and state.Security, or
// writes the unprotected form of a loaded file.
SecurityWriter MakeSecurityWriter();

}  // namespace folvex
