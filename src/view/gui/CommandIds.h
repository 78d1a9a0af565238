#pragma once

// Numeric ids of the commands of the main menu, the context menus and the frame's own keys.
// Menus carry them in QAction::data(); handlers are registered and found by them.
namespace CommandId {
// Main menu: "KEVRA(T)"
constexpr int Connect = 32788;
constexpr int Disconnect = 32789;
constexpr int AddAccount = 32822;
constexpr int Exit = 32831;
// Main menu: "队列(&R)"
constexpr int RunQueue = 32791;
constexpr int ClearQueue = 32796;
constexpr int QueueInformation = 32803;
constexpr int AddToQueue = 32823;
// Main menu: "文件(&F)"
constexpr int Upload = 32813;
constexpr int CompressAndUpload = 32807;
constexpr int Download = 32806;
constexpr int Stop = 32821;
constexpr int Delete = 32808;
constexpr int NewLocalFolder = 32810;
constexpr int NewServerFolder = 32811;
constexpr int SearchFiles = 32815;
// Main menu: "设置(&S)"
constexpr int WorkPath = 32802;
constexpr int UpdateSettings = 32833;
constexpr int SpeedLimitSettings = 32839;
// Main menu: "视图(&V)" and "帮助(&H)"
constexpr int StatusBar = 59393;
constexpr int About = 57664;
constexpr int CheckForUpdates = 32834;
// Keys of the frame
constexpr int NextPane = 57680;
constexpr int PreviousPane = 57681;

// Visual styles
constexpr int LookWindows2000 = 205;
constexpr int LookOfficeXP = 206;
constexpr int LookWindowsXP = 207;
constexpr int LookOffice2003 = 208;
constexpr int LookVisualStudio2005 = 209;
constexpr int LookVisualStudio2008 = 210;
constexpr int LookOffice2007Blue = 215;
constexpr int LookOffice2007Black = 216;
constexpr int LookOffice2007Silver = 217;
constexpr int LookOffice2007Aqua = 218;
constexpr int LookWindows7 = 219;

// Local list menu (310)
constexpr int LocalSelectAll = 32835;
constexpr int LocalUpload = 32812;
constexpr int LocalCompressAndUpload = 32804;
constexpr int LocalDelete = 32776;
constexpr int LocalOpen = 32778;
constexpr int LocalRefresh = 32779;
constexpr int LocalAddToQueue = 32787;
constexpr int LocalNewFolder = 32797;
constexpr int LocalRename = 32801;
constexpr int LocalProperties = 32814;

// Remote list menu (311)
constexpr int RemoteSelectAll = 32836;
constexpr int RemoteDownload = 32780;
constexpr int RemoteSaveAs = 32827;
constexpr int RemoteDelete = 32784;
constexpr int RemoteOpen = 32785;
constexpr int RemoteRefresh = 32786;
constexpr int RemoteAddToQueue = 32792;
constexpr int RemoteNewFolder = 32799;
constexpr int RemoteRename = 32800;
constexpr int RemoteChangePath = 32816;
constexpr int RemoteCompress = 32829;
constexpr int RemoteExtract = 32830;

// Queue list menu (314)
constexpr int QueueSelectAll = 32837;
constexpr int QueueStart = 32793;
constexpr int QueuePause = 32820;
constexpr int QueueRemove = 32794;
constexpr int QueueClear = 32795;
constexpr int QueueStartAll = 32798;
constexpr int QueuePauseAll = 32819;
constexpr int QueueDeleteFinished = 32824;

// Server list dialog menu (329), tab menu (330), log menu (335)
constexpr int ServerListDelete = 32825;
constexpr int CloseTab = 32826;
constexpr int ClearLog = 32838;
} // namespace CommandId
