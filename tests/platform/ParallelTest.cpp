#include "platform/Parallel.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

using vexana::platform::produceInOrder;

TEST(Parallel, ConsumesInOrderAndStopsAtTheFirstFailure) {
    std::vector<int> made(500, 0), order;
    produceInOrder(
        made.size(), [&](std::size_t i) { made[i] = static_cast<int>(i) * 2; },
        [&](std::size_t i) {
            EXPECT_EQ(made[i], static_cast<int>(i) * 2); // produced before it is consumed
            order.push_back(static_cast<int>(i));
        });
    ASSERT_EQ(order.size(), made.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], static_cast<int>(i));

    produceInOrder(
        0, [](std::size_t) { FAIL(); }, [](std::size_t) { FAIL(); });

    int consumed = 0;
    EXPECT_THROW(produceInOrder(
                     100,
                     [](std::size_t i) {
                         if (i == 40) throw std::runtime_error("produce");
                     },
                     [&](std::size_t) { ++consumed; }),
                 std::runtime_error);
    EXPECT_LE(consumed, 40);
    EXPECT_THROW(produceInOrder(
                     100, [](std::size_t) {},
                     [](std::size_t i) {
                         if (i == 3) throw std::logic_error("consume");
                     }),
                 std::logic_error);
}
