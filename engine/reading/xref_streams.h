// Rewriting a file that uses cross-reference streams and object streams into a classic image.
#pragma once

#include <functional>
#include <span>
#include <unordered_set>
#include <vector>

#include "engine/core/engine_state.h"

namespace folvex {

// Returned (and left in LastErrorCode) when the job is cancelled during a conversion.
constexpr int kConvertCancelled = -59;

// How the object streams of a protected file are decrypted during a conversion.
struct ObjectStreamDecryption {
  // Replaces out by the decrypted data of object stream (number, generation).
  std::function<void(int number, int generation, std::span<const Byte> data, std::vector<Byte>& out)> Decrypt;
  // Out: the objects written from object streams, which hold no protected strings.
  std::unordered_set<int> PlainObjects;
};

// Where a conversion puts the objects it takes out of object streams.
enum class ConversionLayout {
  // In each object stream's place, moving what follows: the image reads as if written in classic
  // form, down to the bytes between objects, on which a rewrite of the whole file depends.
  InPlace,
  // After the file's own bytes, with a classic table of their own: nothing is copied or moved,
  // which is all a reader of objects needs.
  Appended,
};

// Converts image to classic form. classicTable is the table already parsed from a hybrid file's
// classic section (null when there is none). Returns 0, or a negative code with the image
// unchanged; -1000 when the file is encrypted and there is no decryption. With decryption, a
// protected file's object streams are decrypted before they are taken apart; the other objects
// are copied as they are, still protected.
int ConvertXrefStreams(EngineState& state, FileImage& image, const XrefTable* classicTable,
                       ObjectStreamDecryption* decryption = nullptr,
                       ConversionLayout layout = ConversionLayout::InPlace);

// The objects at file offsets listed by the sections of a file with cross-reference streams,
// protected or not, in number order; sets state.EncryptRef and, from the newest /ID, state.FileId.
// Returns 0 or a negative code of the conversion with objects empty.
int ReadXrefStreamObjects(EngineState& state, const FileImage& image, const XrefTable* classicTable,
                          XrefTable& objects);

}  // namespace folvex
