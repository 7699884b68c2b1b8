#include "FTPFileStatus.h"

namespace nsFTP
{

void CFTPFileStatus::Reset()
{
    Name.clear();
    Path.clear();
    TryCwd = false;
    TryRetr = false;
    SizeType = 0;
    Size = 0;
    ModificationTime = 0;
    Attributes.clear();
    Owner.clear();
    Group.clear();
    LinkCount.clear();
    IdType = 0;
    Id.clear();
}

} // namespace nsFTP
