// Checkpoints: a run saved at a generation boundary and continued later, also in another
// process, exactly as if it had never stopped.
//
// A component's document alone does not do this: it keeps probabilities at single
// precision, leaves out settings of the host (InitialPopulation, Operations, ...) and
// knows nothing of the random generator. A checkpoint file holds, besides the document
// unchanged, the generator state and the exact text of every published setting and of
// every setting the component defines and reads back itself (a GP component's
// TarpeianProbability), and the raw fitness of every individual. Loading one loads the
// document, restores the settings and the fitness exactly, runs the statistics pass (so
// MinFitness, FittestIndividual and the selection tables read as they did when the
// checkpoint was saved) and finally restores the generator.
//
// The continued run equals the uninterrupted one when the checkpoint is taken of an
// initialized component (after Initialize or any generation), the host attaches the same
// handlers, and its fitness handler depends on the individual only (it does not run for
// the loaded individuals, whose fitness the checkpoint holds, but for every later one).
//
// File layout (text): the line "axgenetic-checkpoint 1 <checksum>", where the checksum is
// the FNV-1a hash in hexadecimal of everything after that line; "random <seed> <w0> <w1>
// <w2> <w3>" in hexadecimal; one "setting <Name> = <stream text>" line per published
// or defined setting; "fitness" and, per individual in population order, the bits of its
// raw fitness in hexadecimal or "-" where it was stale; "document <byte count>", a line
// break and the document's bytes.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <iosfwd>
#include <string>
#include <string_view>

namespace ax {

class TAxCustomGeneticComponent;

// The text of every checkpoint that does not read: "Invalid checkpoint: <reason>".
inline constexpr std::string_view SInvalidCheckpoint = "Invalid checkpoint: %s";

// Writes the checkpoint to a temporary file beside FileName, flushed to the disk, which
// then replaces FileName in one step: a reader never sees half a checkpoint, and a failed
// save leaves the previous checkpoint in place. EFCreateError when it cannot be written.
AXGENETIC_API void SaveCheckpoint(TAxCustomGeneticComponent& Component,
                                  const std::string& FileName);
AXGENETIC_API void SaveCheckpoint(TAxCustomGeneticComponent& Component, std::ostream& Stream);

// Continues the run saved in the checkpoint. The whole file is read and checked
// (structure, checksum, setting names and texts, generator state, document) before
// anything changes; EReadError (SInvalidCheckpoint) when that fails ("setting <Name>:
// <error>" for a setting text that the checksum vouches for but that does not convert, a
// file made by hand), EFOpenError when the file cannot be opened, and the document's own
// errors when it does not load. A file that fails leaves the component as it was.
AXGENETIC_API void LoadCheckpoint(TAxCustomGeneticComponent& Component,
                                  const std::string& FileName);
AXGENETIC_API void LoadCheckpoint(TAxCustomGeneticComponent& Component, std::istream& Stream);

// Writes Data to FileName as SaveCheckpoint writes a checkpoint: through a flushed temporary
// file renamed over it. EFCreateError when it cannot be written.
AXGENETIC_API void WriteFileAtomically(const std::string& FileName, std::string_view Data);

} // namespace ax
