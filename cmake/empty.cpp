// The shared library has no sources of its own: it is the folder libraries
// linked whole.
