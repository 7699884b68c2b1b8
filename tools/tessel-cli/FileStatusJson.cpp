#include "FileStatusJson.h"

#include "FtpUrl.h"
#include "files/RemotePath.h"
#include "platform/TextCodec.h"

namespace nsCli
{

void WriteFileStatus(CJsonLineWriter& json, const nsFTP::CFTPFileStatus& r, const nsFTP::CNameCodec& names,
                     bool withUrl)
{
    json.BeginObject();
    json.Field("Name", names.Decode(r.Name));
    json.Field("Path", names.Decode(r.Path));
    if (withUrl)
    {
        const bool isLink = !r.Attributes.empty() && r.Attributes[0] == L'l';
        const std::wstring name = RemotePath::LinkName(r.Name, isLink);
        const std::wstring path = r.Path.empty() ? name : RemotePath::Join(r.Path, name);
        json.Field("Url", platform::TextCodec::FromUtf8(CFtpUrl::EncodePath(path)));
    }
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
