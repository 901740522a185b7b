#pragma once

// The link between the programs and Qt Network for the connection test
// (IsOnline): Qt Network and what it brings (Kerberos, the proxy library)
// live in a module of their own, libpibo_network.so beside the program,
// loaded the first time a connection is tried. The module sees only this
// header.

#include <QtCore/QString>

#include <cstdint>

inline constexpr int NetworkProbeInterfaceVersion = 1;
inline constexpr const char* NetworkProbeVersionSymbol = "PiboNetworkProbeVersion";
inline constexpr const char* NetworkProbeConnectSymbol = "PiboNetworkProbeConnect";
inline constexpr const char* NetworkProbeModuleFileName = "libpibo_network.so";
// The interface version the module was built with.
using TNetworkProbeVersionFn = int (*)();
// True when a connection to host:port can be made within timeoutMs (the
// look-up of a host name counts against it); the user's input waits
// meanwhile. Never waits longer.
using TNetworkProbeConnectFn = bool (*)(const QString& host, std::uint16_t port, int timeoutMs);
