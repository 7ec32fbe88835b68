#pragma once
#include <QStringList>
#include <vector>

#include "catalogue/catalogue.h"

// The maker's product range as data: to add a series, edit the tables in catalogue_data.cpp.
namespace volnor::catalogue::data {

const std::vector<Node>& tree();
const std::vector<GroupRow>& grouplist();
// "title|url" for every leaf, in depth-first order.
QStringList entries();

}  // namespace volnor::catalogue::data
