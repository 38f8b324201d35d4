// The record of one installed plug-in in a plug-in list: the class to create,
// the identifier to create it with, and the texts its menu entry and help
// show. A record starts as its own group under its full name; the list's
// name grouping may then give neighbours one shared group title and shorter
// item names. Members of one group hold the very same title object, which is
// how a menu tells a group from records that only happen to share a text.
//
// UI thread only; records live as long as their list.
#pragma once

#include <memory>
#include <string>

#include "platform/win/WinTypes.h"

class CRegPlugIn {
public:
    CRegPlugIn(REFCLSID clsid, REFIID iid, const std::string& name, std::string description,
               std::string helpFilePath, DWORD extra);
    virtual ~CRegPlugIn();
    CRegPlugIn(const CRegPlugIn&) = delete;
    CRegPlugIn& operator=(const CRegPlugIn&) = delete;

    const CLSID& GetClassId() const { return m_clsid; }
    const IID& GetInterfaceId() const { return m_iid; }
    // The menu group title; the full name for a record outside any group.
    const std::string& GetGroupName() const { return *m_groupName; }
    // The menu item text.
    const std::string& GetName() const { return m_name; }
    const std::string& GetDescription() const { return m_description; }
    const std::string& GetHelpFilePath() const { return m_helpFilePath; }
    // What each list keeps beside the texts: a help topic, or 0xFFFFFFFF.
    DWORD GetExtra() const { return m_extra; }
    // A record with a non-zero value is left out of menus.
    DWORD GetHidden() const { return m_hidden; }
    void SetHidden(DWORD hidden) { m_hidden = hidden; }

    // True when both records were put in one group (not merely equal titles).
    bool SharesGroupWith(const CRegPlugIn& other) const { return m_groupName == other.m_groupName; }
    // Makes the record a member of a group: the shared title and its own item text.
    void JoinGroup(std::shared_ptr<const std::string> title, std::string itemName);

private:
    CLSID m_clsid;
    IID m_iid;
    std::shared_ptr<const std::string> m_groupName;
    std::string m_name;
    std::string m_description;
    std::string m_helpFilePath;
    DWORD m_extra;
    DWORD m_hidden = 0;
};
