// The owner of the precompiled test headers; it runs no test of its own.
