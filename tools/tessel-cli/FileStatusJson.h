#pragma once
#include "JsonLineWriter.h"

#include "ftp/FTPFileStatus.h"
#include "ftp/NameCodec.h"

namespace nsCli
{

// One listing record as a JSON line, every field under its own name. Name
// and Path are read for people by the names codec (UTF-8 where valid, else
// Latin-1, or as the site's encoding says). withUrl adds "Url": the entry's
// path (Path joined with its name, a link's own name) as percent-encoded
// bytes, which every command takes back as the entry's exact name.
void WriteFileStatus(CJsonLineWriter& json, const nsFTP::CFTPFileStatus& record,
                     const nsFTP::CNameCodec& names = nsFTP::CNameCodec(), bool withUrl = false);
// The fields after Name and Path, for records that name their entry otherwise.
void WriteFileStatusFields(CJsonLineWriter& json, const nsFTP::CFTPFileStatus& record);

} // namespace nsCli
