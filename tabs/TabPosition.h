#pragma once

// The side of an OldTabbedComponent along which its tab strip runs.
// Left and right are the vertical strips.
enum TabPosition
{
    tabsAtTop = 0,
    tabsAtBottom = 1,
    tabsAtLeft = 2,
    tabsAtRight = 3
};
