// lobbyd-bench's cluster table: the same lobby on one node and on several (a nats-server and a
// throwaway PostgreSQL cluster the bench starts), pilots spread evenly over the nodes.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// One row for a single lobbyd holding all nodes × perNode pilots, one for the cluster.
void PrintClusterTable(const std::string& program, const std::string& folder, size_t nodes,
                       size_t perNode, size_t lines);

}  // namespace bench
