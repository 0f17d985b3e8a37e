#include "engine/core/Log.h"

#include <iostream>

void CLog::write(const std::string& text)
{
    std::cout << text;
}

void CLog::line(const std::string& text)
{
    std::cout << text << std::endl;
}

void CLog::errorLine(const std::string& text)
{
    std::cerr << text << std::endl;
}
