#include "HidCtrl.h"

#include <cstring>

#include "HidUtil.h"

HidCtrl::HidCtrl() : m_handler(nullptr), m_hidUtil(nullptr), m_state(0), m_version(0), m_length(0)
{
    std::memset(m_data, 0, sizeof(m_data));
}

HidCtrl::~HidCtrl()
{
    finalize();
}

bool HidCtrl::initialize(HidHandler* handler, int deviceType)
{
    // Replacing a live connection would leave it reporting to this object after its end.
    if (m_hidUtil.load() != nullptr)
        return false;
    m_handler = handler;
    m_hidUtil = new HidUtil();
    clearCache();

    const bool ok = m_hidUtil.load()->initialize(this, deviceType);
    if (!ok)
    {
        finalize();
        return false;
    }
    m_state = deviceMatching() ? 1 : 0;
    if (m_state == 1)
    {
        m_version = deviceVersion();
        m_length = deviceInput(m_data, sizeof(m_data));
    }
    return true;
}

void HidCtrl::finalize()
{
    m_handler = nullptr;
    HidUtil* hidUtil = m_hidUtil.exchange(nullptr);
    if (hidUtil != nullptr)
    {
        hidUtil->finalize();
        delete hidUtil;
    }
}

bool HidCtrl::setData(unsigned char* buffer, unsigned int length)
{
    if (m_state == 0)
        return false;
    m_state = 2;
    return deviceOutput(buffer, length);
}

void HidCtrl::beginTransfer()
{
    HidUtil* hidUtil = m_hidUtil;
    if (hidUtil != nullptr)
        hidUtil->pinDevice();
}

void HidCtrl::endTransfer()
{
    HidUtil* hidUtil = m_hidUtil;
    if (hidUtil != nullptr)
        hidUtil->unpinDevice();
}

bool HidCtrl::deviceMatching()
{
    HidUtil* hidUtil = m_hidUtil;
    return hidUtil != nullptr && hidUtil->deviceMatching();
}

int HidCtrl::deviceVersion()
{
    HidUtil* hidUtil = m_hidUtil;
    return hidUtil != nullptr ? hidUtil->deviceVersion() : 0;
}

unsigned int HidCtrl::deviceInput(unsigned char* buffer, unsigned int length)
{
    if (buffer == nullptr || length == 0)
        return 0;
    std::memset(buffer, 0, length);
    HidUtil* hidUtil = m_hidUtil;
    return hidUtil != nullptr ? hidUtil->deviceInput(buffer, length) : 0;
}

bool HidCtrl::deviceOutput(unsigned char* buffer, unsigned int length)
{
    HidUtil* hidUtil = m_hidUtil;
    return hidUtil != nullptr && hidUtil->deviceOutput(buffer, length);
}

void HidCtrl::removalCallBack()
{
    clearCache();
    if (m_handler != nullptr)
        m_handler->removalCallBack();
}

void HidCtrl::matchingCallBack()
{
    m_state = 1;
    m_version = deviceVersion();
    m_length = deviceInput(m_data, sizeof(m_data));
    if (m_handler != nullptr)
        m_handler->matchingCallBack();
}

void HidCtrl::inputCallBack()
{
    unsigned char report[256];
    const unsigned int length = deviceInput(report, sizeof(report));
    std::memcpy(m_data, report, length);
    m_length = length;
    if (m_handler != nullptr)
        m_handler->inputCallBack();
}

void HidCtrl::clearCache()
{
    m_state = 0;
    m_version = 0;
    std::memset(m_data, 0, sizeof(m_data));
    m_length = 0;
}
