// The one Layout object of each calibration record.
#include "calimage/CalLayouts.h"

using namespace callayout;

const Layout& factorycalHeaderLayout()
{
    static const Layout layout("FactorycalHeader", kFactorycalHeaderFields);
    return layout;
}

const Layout& kestrinSetLayout()
{
    static const Layout layout("KestrinCalSet", kKestrinSetFields);
    return layout;
}

const Layout& oldVelmoraSetLayout()
{
    static const Layout layout("OldVelmoraCalSet", kOldVelmoraSetFields);
    return layout;
}

const Layout& velmoraHeaderLayout()
{
    static const Layout layout("VelmoraHeader", kVelmoraHeaderFields);
    return layout;
}

const Layout& velmoraSetLayout()
{
    static const Layout layout("VelmoraCalSet", kVelmoraSetFields);
    return layout;
}

const Layout& loadHeaderLayout()
{
    static const Layout layout("LoadHeader", kLoadHeaderFields);
    return layout;
}
