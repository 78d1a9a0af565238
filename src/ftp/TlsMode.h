#pragma once

// How a connection protects the logon and the files.
enum class TlsMode {
    Plain,         // ftp://host: never asks for TLS
    Opportunistic, // a bare host name: TLS when the server offers it, plain otherwise
    Required,      // ftpes://host: no logon without TLS
};
