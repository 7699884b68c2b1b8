#pragma once
#include "JsonLineWriter.h"

#include "ftp/FTPFileStatus.h"

namespace nsCli
{

// One listing record as a JSON line, every field under its own name.
void WriteFileStatus(CJsonLineWriter& json, const nsFTP::CFTPFileStatus& record);
// The fields after Name and Path, for records that name their entry otherwise.
void WriteFileStatusFields(CJsonLineWriter& json, const nsFTP::CFTPFileStatus& record);

} // namespace nsCli
