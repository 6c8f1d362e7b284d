#include "runtime/object_owner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A class object whose table records what runs through it.
struct RecordingBlock;

struct RecordingOperations {
  void (*destroy)(RecordingBlock* self);
  RecordingBlock* (*clone)(RecordingBlock* self);
  std::int32_t (*number)(RecordingBlock** self);
};

struct RecordingBlock {
  const RecordingOperations* operations;
  std::int32_t number;
};

std::vector<std::string> history;

RecordingBlock* new_block(std::int32_t number);

void destroy(RecordingBlock* self) {
  history.push_back("destroy " + std::to_string(self->number));
}

RecordingBlock* clone(RecordingBlock* self) {
  history.push_back("clone " + std::to_string(self->number));
  return new_block(self->number + 100);
}

std::int32_t number(RecordingBlock** self) {
  return (*self)->number;
}

const RecordingOperations kRecordingOperations = {destroy, clone, number};

RecordingBlock* new_block(std::int32_t number) {
  auto* block = static_cast<RecordingBlock*>(mem_alloc(sizeof(RecordingBlock)));
  block->operations = &kRecordingOperations;
  block->number = number;
  return block;
}

class Recording : public ObjectOwner<Recording, RecordingBlock> {
 public:
  using ObjectOwner::ObjectOwner;
  explicit Recording(std::int32_t number) : ObjectOwner(new_block(number)) {}

  std::int32_t number() { return call(&Operations::number); }
  std::int32_t number_or(std::int32_t no_object) { return call_or(no_object, &Operations::number); }
};

class ObjectOwnerTest : public testing::Test {
 protected:
  void SetUp() override { history.clear(); }
};

TEST_F(ObjectOwnerTest, EveryHeldObjectIsDestroyedThroughItsTableExactlyOnce) {
  {
    Recording kept(1);
    Recording moved(2);
    Recording target = std::move(moved);
    EXPECT_EQ(moved.get(), nullptr);
    target = std::move(kept);  // ends 2, holds 1
    Recording& same = target;
    target = std::move(same);
    EXPECT_EQ(target.number(), 1) << "moving onto itself keeps the object";
    Recording reset(3);
    reset.reset(new_block(4));  // ends 3
    RecordingBlock* released = Recording(5).release();
    Recording adopted = Recording::adopt(released);
    EXPECT_EQ(adopted.number(), 5);
    history.push_back("end of scope");
  }
  EXPECT_EQ(history, (std::vector<std::string>{"destroy 2", "destroy 3", "end of scope",
                                               "destroy 5", "destroy 4", "destroy 1"}));
}

TEST_F(ObjectOwnerTest, ACloneComesWithItsOwnOwnerAndTheEmptyOwnerRunsNothing) {
  {
    Recording original(7);
    Recording copy = original.clone();
    ASSERT_NE(copy.get(), nullptr);
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(copy.number(), 107);
  }
  EXPECT_EQ(history, (std::vector<std::string>{"clone 7", "destroy 107", "destroy 7"}));

  history.clear();
  Recording empty(nullptr);
  EXPECT_EQ(empty.number(), 0);
  EXPECT_EQ(empty.number_or(-2), -2);
  EXPECT_EQ(empty.clone().get(), nullptr);
  empty.reset();
  EXPECT_TRUE(history.empty());
}

}  // namespace
