#pragma once

// The byte encoding a text file was loaded with; it is saved back in the same one.
enum class TTextEncoding { Utf8, Windows1251 };
