#include "scan_input/image_memory.h"

#include "platform/machine.h"

#include <opencv2/core.hpp>

namespace plantscan::input {

namespace {

// OpenCV's own allocator does the work and stays the images' owner (it frees them); this one
// only gives the advice between allocating and the first write.
class LargePageImages final : public cv::MatAllocator {
public:
    cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                           cv::AccessFlag flags, cv::UMatUsageFlags usage) const override {
        cv::UMatData* block = own_->allocate(dims, sizes, type, data, step, flags, usage);
        if (block && !data) platform::adviseLargePages(block->data, block->size);
        return block;
    }
    bool allocate(cv::UMatData* block, cv::AccessFlag flags,
                  cv::UMatUsageFlags usage) const override {
        return own_->allocate(block, flags, usage);
    }
    void deallocate(cv::UMatData* block) const override { own_->deallocate(block); }

private:
    cv::MatAllocator* own_ = cv::Mat::getStdAllocator();
};

}  // namespace

void backImagesWithLargePages() {
    static LargePageImages allocator;  // OpenCV keeps the pointer until the process ends
    cv::Mat::setDefaultAllocator(&allocator);
}

}  // namespace plantscan::input
