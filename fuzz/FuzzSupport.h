#pragma once
// Shared by the fuzz targets: a scratch folder of the process's own (under TMPDIR, removed at
// exit) for the files the code under test reads from disk, and a check that stops the run with a
// message when an invariant fails, so that libFuzzer records the input.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// A path inside the scratch folder; the folder is made on first use.
QString ScratchPath(const char* name);
void WriteScratch(const QString& path, const uint8_t* data, size_t size);
QByteArray ReadScratch(const QString& path);

[[noreturn]] void FuzzFailure(const char* what, const char* file, int line);
#define FUZZ_CHECK(cond)                                     \
    do {                                                     \
        if (!(cond)) FuzzFailure(#cond, __FILE__, __LINE__); \
    } while (0)
