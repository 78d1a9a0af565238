#pragma once

struct bio_st;

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE (and so ends the
// program) when the peer has closed the connection; this one sends with MSG_NOSIGNAL.
namespace tlssocketbio {

// A BIO over the non-blocking socket descriptor, which it does not own; nullptr on failure.
bio_st* create(int descriptor);

} // namespace tlssocketbio
