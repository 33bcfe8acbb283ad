#include "framework/CFilterDescriptor.h"

namespace corvanta {

CFilterDescriptor::CFilterDescriptor(std::string name_, uint32_t classCode_, uint32_t typeCode_, uint32_t thirdCode_,
                                     uint32_t loopEnabled_, uint32_t ownThread_, std::string version_,
                                     uint32_t queryCapacity_, uint32_t answerCapacity_, uint32_t spareNumber_,
                                     int threadPriority_, platform::Hwnd parentWindow_, uint32_t sequenceNumber_)
    : name(std::move(name_)),
      classCode(classCode_),
      typeCode(typeCode_),
      thirdCode(thirdCode_),
      loopEnabled(loopEnabled_),
      ownThread(ownThread_),
      version(std::move(version_)),
      queryCapacity(queryCapacity_),
      answerCapacity(answerCapacity_),
      spareNumber(spareNumber_),
      threadPriority(threadPriority_),
      parentWindow(parentWindow_),
      sequenceNumber(sequenceNumber_) {}

}  // namespace corvanta
