#include "FileStatusJson.h"

namespace nsCli
{

void WriteFileStatus(CJsonLineWriter& json, const nsFTP::CFTPFileStatus& r)
{
    json.BeginObject();
    json.Field("Name", r.Name);
    json.Field("Path", r.Path);
    WriteFileStatusFields(json, r);
    json.EndObject();
}

void WriteFileStatusFields(CJsonLineWriter& json, const nsFTP::CFTPFileStatus& r)
{
    json.Field("TryCwd", r.TryCwd);
    json.Field("TryRetr", r.TryRetr);
    json.Field("SizeType", static_cast<int64_t>(r.SizeType));
    json.Field("Size", r.Size);
    json.Field("ModificationTime", r.ModificationTime);
    json.Field("Attributes", r.Attributes);
    json.Field("Owner", r.Owner);
    json.Field("Group", r.Group);
    json.Field("LinkCount", r.LinkCount);
    json.Field("IdType", static_cast<int64_t>(r.IdType));
    json.Field("Id", r.Id);
}

} // namespace nsCli
