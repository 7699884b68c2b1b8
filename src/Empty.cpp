// Keeps a library that holds only headers (or nothing yet) buildable.
