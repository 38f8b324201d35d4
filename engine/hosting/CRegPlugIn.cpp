#include "engine/hosting/CRegPlugIn.h"

CRegPlugIn::CRegPlugIn(REFCLSID clsid, REFIID iid, const std::string& name, std::string description,
                       std::string helpFilePath, DWORD extra)
    : m_clsid(clsid),
      m_iid(iid),
      m_groupName(std::make_shared<const std::string>(name)),
      m_name(name),
      m_description(std::move(description)),
      m_helpFilePath(std::move(helpFilePath)),
      m_extra(extra)
{
}

CRegPlugIn::~CRegPlugIn() = default;

void CRegPlugIn::JoinGroup(std::shared_ptr<const std::string> title, std::string itemName)
{
    m_groupName = std::move(title);
    m_name = std::move(itemName);
}
