// text.h -- the small text handling every command line shares: whole numbers, seeds, names among
// a few, and one line for stderr. Portable: the Windows host links it as the Linux programs do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a program's command line asks for: a run, its usage, its version, or nothing it can do
// (with one line saying why).
enum class ParseResult { kRun, kHelp, kVersion, kBad };

// What every program does with a command line that asks for no run: prints the usage or the
// version on stdout and gives 0, or prints the error's line (CleanLine, on stderr) and gives
// badStatus. Gives -1 for a run.
int EndWithoutRun(ParseResult result, const char* usage, const char* version,
                  const std::string& errorLine, int badStatus);

// Reads the digits at the start of text in base 10 or 16, stopping at the first other byte;
// value is the number modulo 2^64 and overflow says whether it was 2^64 or more. Gives the count
// of digits read.
size_t ScanDigits(std::string_view text, int base, uint64_t* value, bool* overflow);

// Which signs a number may start with.
enum class Signs { kNone, kMinus, kEither };

// A whole number: a sign as signs allows, then digits in base 10 or 16 and nothing else. A number
// beyond 64 bits reads as the nearest end of int64_t, outside every range a caller accepts.
bool ParseInteger(std::string_view text, Signs signs, int base, int64_t* value);

enum class NumberText { kNumber, kNotANumber, kOutOfRange };

// A seed of the random source: a decimal number from 0 to 4294967295.
NumberText ParseSeed(std::string_view text, Signs signs, uint32_t* seed);

// The index of text among names; -1 when it is none of them.
int FindName(std::string_view text, const char* const* names, int count);
// "a, b or c".
std::string ListNames(const char* const* names, int count);

// The line with every control character made '?', so that text from the user can neither break
// it in two nor drive the terminal.
std::string CleanLine(std::string_view line);
// Prints CleanLine(line) and a newline on stderr.
void PrintLine(std::string_view line);
