// Keeps the library non-empty while the generator has no sources of its own.
