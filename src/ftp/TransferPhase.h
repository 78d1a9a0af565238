#pragma once

// How a stage of a listing or transfer ended; a failure has its text in the client's replyLine.
enum class TransferPhase { Done, Failed, Aborted };
