#pragma once
// Makes X errors non-fatal for this process, as a plug-in host does.

namespace vrctest
{
void tolerateXErrorsLikeAHost();
}
