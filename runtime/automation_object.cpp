#include "runtime/automation_object.h"

AutomationObject::AutomationObject() : block_(static_cast<Block*>(mem_alloc(sizeof(Block)))) {}

AutomationObject& AutomationObject::operator=(AutomationObject&& other) noexcept {
  if (this != &other) {
    free_automation_block(block_);
    block_ = std::exchange(other.block_, nullptr);
  }
  return *this;
}

AutomationObject::~AutomationObject() {
  free_automation_block(block_);
}

void free_automation_block(AutomationObject::Block* block) {
  if (block == nullptr) return;
  if (block->iface != nullptr) block->iface->Release();
  mem_free(block);
}
