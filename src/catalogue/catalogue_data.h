#pragma once
#include <string>
#include <vector>

#include "catalogue/catalogue.h"

// The maker's product range as data: to add a series, edit the tables in catalogue_data.cpp.
namespace volnor::catalogue::data {

const std::vector<Node>& tree();
const std::vector<GroupRow>& grouplist();
// "title|url" for every leaf, in depth-first order.
std::vector<std::string> entries();

}  // namespace volnor::catalogue::data
