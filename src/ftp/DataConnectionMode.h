#pragma once

// How an FtpClient opens its data connections. Automatic starts active (PORT/EPRT) and turns
// passive for good the first time the server cannot reach us; the other two never change.
enum class DataConnectionMode { Automatic, Active, Passive };
