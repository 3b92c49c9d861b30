// The pipeline the Network page reads eth0's gateway from, as handed to
// popen. Its own header, free of curses, so the start-up benchmark can time
// exactly this command alone.
#pragma once

inline constexpr const char *net_page_gateway_command =
    "route -n | grep eth0  | grep 'UG[ \t]' | awk '{print $2}'";
