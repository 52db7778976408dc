#include "BrenvaleDoc.h"
#include "FileUtils.h"
#include "XmlNode.h"
#include <cstdio>
static double Now(){LARGE_INTEGER f,c;QueryPerformanceFrequency(&f);QueryPerformanceCounter(&c);return (double)c.QuadPart/f.QuadPart;}
int main(){ BuildEntityTable(); double s=Now(); int n=0; for(int i=0;i<10000;i++){ CString p; p.Format(L"C:\\Media\\MP3 Audiobooks\\Title %05d\\Title %05d.jpg",i,i); n+=GetFileAttributesW(p)!=INVALID_FILE_ATTRIBUTES;} std::printf("fileexists %.3f\n",Now()-s);
 s=Now(); for(int i=0;i<10000;i++){ DecodeXmlText(L"A description of the title &amp; its parts, long enough to be typical of a shop."); DecodeXmlText(L"Title 00001");} std::printf("decode %.3f\n",Now()-s); return n;}
