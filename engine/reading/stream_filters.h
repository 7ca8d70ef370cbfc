// Decoding the stream filters and predictors met in cross-reference streams and object streams.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/core/bytes.h"

namespace folvex {

enum class StreamFilter { Flate, AsciiHex, Ascii85 };

// Reads a /Filter value: a name (full or abbreviated), an array of names, or null. filters is
// empty for null and for an empty array. Returns 0, or -1 for a filter not decoded here.
int ReadFilterList(const Byte* value, const Byte* limit, std::vector<StreamFilter>& filters);

// The text of ASCIIHexDecode and ASCII85Decode data up to its end marker (or the data's end).
// Returns 0, or -1 for a character that does not belong to the encoding.
int DecodeAsciiHex(const Byte* data, std::size_t length, std::vector<Byte>& out);
int DecodeAscii85(const Byte* data, std::size_t length, std::vector<Byte>& out);

// Applies filters in order. Each stage's output is taken from budget; Flate data that ends
// without its end marker keeps what it inflated. Returns 0, or -2/-3 (no memory), -4 (corrupt
// data), -10 (beyond the budget). A last Flate stage that would produce more than lastStageLimit
// (below the budget) stops there and keeps what it inflated.
int DecodeFilters(const Byte* data, std::size_t length, const std::vector<StreamFilter>& filters,
                  std::vector<Byte>& out, std::size_t& budget, std::size_t lastStageLimit = SIZE_MAX);

struct PredictorParms {
  int Predictor = 1;  // 1 none, 2 TIFF, 10 to 15 PNG
  int Colors = 1;
  int BitsPerComponent = 8;
  int Columns = 1;
};

// How a stream's data is encoded.
struct StreamForm {
  std::vector<StreamFilter> Filters;
  bool Supported = true;  // false: a filter not decoded here
  PredictorParms Parms;
};

// True for the predictors UndoPredictor handles.
inline bool AcceptedPredictor(int predictor) { return predictor <= 2 || (predictor >= 10 && predictor <= 15); }

// Reads the filters of the stream dictionary [start, end) and, when Flate comes last, its
// predictor parameters. Returns 0, or a negative code for /DecodeParms that cannot be read.
int ReadStreamForm(const Byte* start, const Byte* end, StreamForm& form);

// Undoes the predictor in place. PNG rows lose their tag bytes (a short last row is dropped);
// TIFF rows keep their length. Returns 0, or -1 for a predictor, a PNG tag or a component size
// that is not decoded here.
int UndoPredictor(std::vector<Byte>& data, const PredictorParms& parms);

}  // namespace folvex
