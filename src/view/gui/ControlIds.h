#pragma once

// Ids of the controls of the main view. Every control carries its id in the dynamic property
// named by ControlId::Property and is named "ctl" followed by the id.
namespace ControlId {
inline const char* const Property = "controlId";

constexpr int ServerListButton = 1063;
constexpr int ServerBox = 1027;
constexpr int Port = 1003;
constexpr int User = 1004;
constexpr int Password = 1005;
constexpr int ConnectButton = 1054;
constexpr int DisconnectButton = 1058;
constexpr int SaveAccountButton = 1059;
constexpr int LocalPathBox = 1010;
constexpr int LocalList = 1000;
constexpr int PaneSplitter = 1118;
constexpr int RemotePathBox = 1014;
constexpr int RemoteList = 1001;
constexpr int SessionTabs = 1098;
constexpr int LogSplitter = 1120;
constexpr int Log = 1012;
constexpr int QueueSplitter = 1121;
constexpr int QueueList = 1013;
constexpr int RateField = 1015;
} // namespace ControlId
