// A filter of the topology category: a CKsFilter whose nodes are enumerated.
#pragma once

#include "devices/CKsFilter.h"

class CTopologyFilter : public CKsFilter {
public:
    explicit CTopologyFilter(const std::vector<std::string>& texts) : CKsFilter(texts, kTopology) {}
};
