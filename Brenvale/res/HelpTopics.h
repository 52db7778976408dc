// The console's help topics: one constant per page of its help file, named after the page.
// The windows built so far show no page of their own; their help goes by context id.
#pragma once
